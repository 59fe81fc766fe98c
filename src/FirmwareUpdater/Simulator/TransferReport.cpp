#include "TransferReport.h"

#include "Common/Gettext.h"

#include <algorithm>
#include <cmath>

namespace {

// Nearest rank: the smallest value with at least inShare of all values at or below it.
double percentile(const std::vector<double>& inSorted, double inShare) {
    const auto rank =
        static_cast<std::size_t>(std::ceil(inShare * static_cast<double>(inSorted.size())));
    return inSorted[std::max<std::size_t>(rank, 1) - 1];
}

} // namespace

STransferReport compareTransfer(const std::vector<SExpectedMessage>& inExpected,
                                const std::vector<SReceivedMessage>& inReceived,
                                ELatenessAnchor inAnchor) {
    STransferReport report;
    report.expected = inExpected.size();
    report.received = inReceived.size();
    const std::size_t common = std::min(inExpected.size(), inReceived.size());
    for (std::size_t i = 0; i < common && report.firstDifference.empty(); ++i) {
        if (inExpected[i].bytes != inReceived[i].bytes) {
            const char* difference = N_("message %zu differs (%zu bytes received, %zu expected)");
            report.firstDifference =
                formatted(difference, i, inReceived[i].bytes.size(), inExpected[i].bytes.size());
            report.firstDifferenceTold =
                formatted(_(difference), i, inReceived[i].bytes.size(), inExpected[i].bytes.size());
        }
    }
    if (report.firstDifference.empty() && inExpected.size() != inReceived.size()) {
        const char* shortfall = N_("%zu of %zu messages received");
        report.firstDifference = formatted(shortfall, inReceived.size(), inExpected.size());
        report.firstDifferenceTold = formatted(_(shortfall), inReceived.size(), inExpected.size());
    }
    report.identical = report.firstDifference.empty();
    if (common == 0) {
        return report;
    }
    std::vector<double> lateness;
    for (std::size_t i = 0; i < common; ++i) {
        const double arrivedMs = static_cast<double>(static_cast<std::int64_t>(
                                     inReceived[i].hostTimeNs - inReceived[0].hostTimeNs)) /
                                 1e6;
        const double scheduledMs = static_cast<double>(inExpected[i].timeMs) - inExpected[0].timeMs;
        lateness.push_back(arrivedMs - scheduledMs);
    }
    if (inAnchor == ELatenessAnchor::kBestKept) {
        const double best = *std::min_element(lateness.begin(), lateness.end());
        for (double& late : lateness) {
            late -= best;
        }
        report.earlyMeasured = false;
    }
    report.earlyCount = static_cast<std::size_t>(std::count_if(
        lateness.begin(), lateness.end(), [](double inLate) { return inLate < -1.0; }));
    std::sort(lateness.begin(), lateness.end());
    report.lateMinMs = lateness.front();
    report.lateMedianMs = percentile(lateness, 0.5);
    report.lateP99Ms = percentile(lateness, 0.99);
    report.lateMaxMs = lateness.back();
    return report;
}

std::string describeTransfer(const STransferReport& inReport) {
    std::string text =
        formatted(_("messages received: %zu of %zu\n"), inReport.received, inReport.expected);
    text += inReport.identical ? std::string(_("identical to the image: yes\n"))
                               : std::string(_("identical to the image: no")) + " (" +
                                     inReport.firstDifferenceTold + ")\n";
    if (inReport.received == 0 || inReport.expected == 0) {
        return text;
    }
    return text + (inReport.earlyMeasured
                       ? formatted(_("lateness (ms): min %.3f, median %.3f, p99 %.3f, max %.3f; "
                                     "more than 1 ms early: %zu\n"),
                                   inReport.lateMinMs, inReport.lateMedianMs, inReport.lateP99Ms,
                                   inReport.lateMaxMs, inReport.earlyCount)
                       : formatted(_("lateness (ms) against the best-kept message: median "
                                     "%.3f, p99 %.3f, max %.3f\n"),
                                   inReport.lateMedianMs, inReport.lateP99Ms, inReport.lateMaxMs));
}
