// The one exception type that the updater's own code throws. The device controller throws
// it; the update workflow catches it and picks its message by getErrorCode().
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace mstd {

class CGenericException : public std::exception {
  public:
    /// inErrorCode: the program's code (1000, 1002); inOSErrorCode: the platform status
    /// that caused the failure, 0 if none; inFileName: may be null, read as "".
    CGenericException(std::int32_t inErrorCode, std::int32_t inOSErrorCode, const char* inFileName)
        : mErrorCode(inErrorCode), mOSErrorCode(inOSErrorCode),
          mErrFileName(inFileName != nullptr ? inFileName : "") {}

    ~CGenericException() override = default;

    virtual std::int32_t getErrorCode() const { return mErrorCode; }
    virtual std::int32_t getOSErrorCode() const { return mOSErrorCode; }
    virtual const std::string& getErrFileName() const { return mErrFileName; }

  private:
    std::int32_t mErrorCode;
    std::int32_t mOSErrorCode;
    std::string mErrFileName;
};

} // namespace mstd
