// The record that every event payload shares: a lead byte and the data bytes it owns.
// CMidiShortEvent, CMidiMetaEvent and CMidiSysExEvent add operations to it, never fields;
// an event holds its payload in the form its kind calls for.
#pragma once

#include <cstdint>
#include <memory_resource>
#include <utility>

class CMidiPayload {
  public:
    /// Data allocated from inResource, which must outlive the payload.
    explicit CMidiPayload(std::pmr::memory_resource* inResource = std::pmr::get_default_resource())
        : mResource(inResource) {}
    ~CMidiPayload() { clearParam(); }

    CMidiPayload(const CMidiPayload&) = delete;
    CMidiPayload& operator=(const CMidiPayload&) = delete;
    /// Takes over inOther's lead byte and data, leaving it without data.
    CMidiPayload(CMidiPayload&& ioOther) noexcept
        : mResource(ioOther.mResource), mLeadByte(ioOther.mLeadByte),
          mDataSize(std::exchange(ioOther.mDataSize, 0)),
          mData(std::exchange(ioOther.mData, nullptr)) {}
    CMidiPayload& operator=(CMidiPayload&&) = delete;

    /// Replaces the data with a copy of inSize bytes. inParam may be null only for 0.
    void setParam(const std::uint8_t* inParam, std::uint32_t inSize);
    /// Replaces the data with inFirst followed by a copy of inSize bytes.
    void setParam(std::uint8_t inFirst, const std::uint8_t* inParam, std::uint32_t inSize);
    /// Releases the data: null data, size 0.
    void clearParam();

    std::uint8_t getLeadByte() const { return mLeadByte; }
    void setLeadByte(std::uint8_t inLeadByte) { mLeadByte = inLeadByte; }
    std::uint32_t getDataSize() const { return mDataSize; }
    /// The data bytes, or null when the payload holds none.
    const std::uint8_t* getParam() const { return mData; }

    /// Bytes of the variable-length quantity that encodes the data size (1 for 0).
    std::uint32_t getSizeBytes() const;

  protected:
    /// True if the data holds at least inCount bytes and begins with inPrefix.
    bool dataBeginsWith(const std::uint8_t* inPrefix, std::uint32_t inCount) const;

  private:
    /// Releases the data and allocates inSize bytes in its place, left for the caller to fill.
    std::uint8_t* replaceData(std::uint32_t inSize);

    std::pmr::memory_resource* mResource;
    std::uint8_t mLeadByte = 0;
    std::uint32_t mDataSize = 0;
    std::uint8_t* mData = nullptr;
};
