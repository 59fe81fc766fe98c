#include "Commands.h"
#include "Common/FirmwareSchedule.h"
#include "ImageFile.h"

#include <cstdio>

int runSchedule(const std::string& inPath) {
    CSMF smf;
    std::string error;
    if (!loadImageFile(inPath, smf, error)) {
        return reportFailure(inPath, error);
    }
    CFirmwareSchedule schedule;
    if (!schedule.build(smf)) {
        return reportFailure(inPath, "refused: " + schedule.failure());
    }
    const std::size_t count = schedule.size();
    std::printf("# messages %zu\n", count);
    std::printf("# bytes %llu\n", static_cast<unsigned long long>(schedule.totalBytes()));
    std::printf("# duration_ms %u\n", schedule.durationMs());
    for (std::size_t i = 0; i < count; ++i) {
        std::printf("%zu %u %u\n", i, schedule.timeOf(i), schedule.lengthOf(i));
    }
    return kExitOk; // whether it reached its destination, main tells
}
