#include "MidiHeader.h"

#include "Common/DebugUtil.h"
#include "SMFUtil.h"

CMidiHeader::~CMidiHeader() {
    reset(0);
}

void CMidiHeader::resetChunkData() {
    mFormat = 0;
    mNumTracks = 0;
    mDivision = 0;
}

bool CMidiHeader::readChunkBody(const std::uint8_t* inBuff, std::uint32_t inSize) {
    std::uint16_t* const fields[] = {&mFormat, &mNumTracks, &mDivision};
    std::uint32_t offset = 0;
    for (std::uint16_t* field : fields) {
        if (inSize - offset < 2) {
            return refuse(ESMFReadFailure::kHeaderBody, offset);
        }
        *field = SMFUtil::readBE16(inBuff + offset);
        offset += 2;
    }
    return true;
}

bool CMidiHeader::writeChunkBody(std::uint8_t* ioBuff, std::uint32_t& outWritten) const {
    DTA_ASSERT(0 != ioBuff);
    SMFUtil::writeBE16(ioBuff, mFormat);
    SMFUtil::writeBE16(ioBuff + 2, mNumTracks);
    SMFUtil::writeBE16(ioBuff + 4, mDivision);
    outWritten = kBodySize;
    return true;
}
