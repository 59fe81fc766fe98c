// The record that every event payload shares: a lead byte and the data bytes it owns.
// CMidiShortEvent, CMidiMetaEvent and CMidiSysExEvent add operations, never fields, so one
// event can present its payload as any of them.
#pragma once

#include <cstdint>

class CMidiPayload {
  public:
    /// Replaces the data with a copy of inSize bytes (an array is allocated also for 0).
    /// inParam must not be null.
    void setParam(const std::uint8_t* inParam, std::uint32_t inSize);
    /// Releases the data: null data, size 0.
    void clearParam();

    std::uint8_t getLeadByte() const { return mLeadByte; }
    void setLeadByte(std::uint8_t inLeadByte) { mLeadByte = inLeadByte; }
    std::uint32_t getDataSize() const { return mDataSize; }
    /// The data bytes, or null when the payload holds none.
    const std::uint8_t* getParam() const { return mData; }
    /// The same bytes, to be filled in place (their number stays).
    std::uint8_t* getMutableParam() { return mData; }

    /// Bytes of the variable-length quantity that encodes the data size (1 for 0).
    std::uint32_t getSizeBytes() const;

  protected:
    /// True if the data holds at least inCount bytes and begins with inPrefix.
    bool dataBeginsWith(const std::uint8_t* inPrefix, std::uint32_t inCount) const;

  private:
    friend class CMidiEvent;

    /// Releases the data and allocates inSize bytes in its place, left for the caller to fill.
    std::uint8_t* replaceData(std::uint32_t inSize);
    /// Takes inSize bytes at inStorage, which the event allocated with itself, as the data of
    /// a payload that holds none yet.
    void useStorageInEvent(std::uint8_t* inStorage, std::uint32_t inSize);

    std::uint8_t mLeadByte = 0;
    bool mDataInEvent = false; // the data live in the event's own allocation: not deleted alone
    std::uint32_t mDataSize = 0;
    std::uint8_t* mData = nullptr;
};
