// An owned heap block of a fixed size, in which one outgoing packet list is built.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>

template <class T> class TSimpleBuffer {
  public:
    /// Allocates inSize bytes, zero-filled when inClear; throws std::bad_alloc without memory.
    TSimpleBuffer(std::uint32_t inSize, bool inClear)
        : mData(static_cast<T*>(::operator new(inSize))), mSize(inSize) {
        if (inClear) {
            std::memset(mData, 0, inSize);
        }
    }
    virtual ~TSimpleBuffer() {
        ::operator delete(mData);
        mData = nullptr;
        mSize = 0;
    }

    TSimpleBuffer(const TSimpleBuffer&) = delete;
    TSimpleBuffer& operator=(const TSimpleBuffer&) = delete;

    T* data() const { return mData; }
    std::uint32_t size() const { return mSize; }

  private:
    T* mData;
    std::uint32_t mSize;
};
