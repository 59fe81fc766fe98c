#include "AlsaProblems.h"

#include "Common/Gettext.h"

#include <alsa/asoundlib.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <unistd.h>

namespace {

std::mutex sLineMutex;
std::string sLastLine;

void keepLine(const char* inFile, int inLine, const char* inFunction, int, const char* inFormat,
              ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, inFormat);
    std::vsnprintf(text, sizeof text, inFormat, arguments);
    va_end(arguments);
    const std::lock_guard<std::mutex> lock(sLineMutex);
    sLastLine =
        std::string(inFunction) + " (" + inFile + ":" + std::to_string(inLine) + "): " + text;
}

} // namespace

void InstallAlsaErrorHandler() {
    snd_lib_error_set_handler(keepLine);
}

std::string LastAlsaLine() {
    const std::lock_guard<std::mutex> lock(sLineMutex);
    return sLastLine;
}

std::string DescribeSequencerOpenFailure(int inError) {
    if (::access("/dev/snd", F_OK) != 0) {
        return _("this machine has no sound devices (/dev/snd is missing): plug the device in");
    }
    if (::access("/dev/snd/seq", F_OK) != 0) {
        return _("the ALSA sequencer is not loaded (/dev/snd/seq is missing): load it with "
                 "\"sudo modprobe snd-seq\"");
    }
    if (inError == -EACCES || inError == -EPERM || ::access("/dev/snd/seq", R_OK | W_OK) != 0) {
        return _("no permission to use /dev/snd/seq: join the audio group "
                 "(\"sudo usermod -aG audio $USER\"), then log in again");
    }
    std::string text =
        std::string(_("cannot open the ALSA sequencer:")) + " " + snd_strerror(inError);
    const std::string line = LastAlsaLine();
    return line.empty() ? text : text + " (" + line + ")";
}

std::string DescribeWriteFailure(const std::string& inDevice, int inError) {
    switch (-inError) {
    case ENODEV:
        return inDevice + ": " + _("the device was unplugged");
    case EIO:
        return inDevice + ": " + _("the device took no data for 30 seconds");
    default:
        return inDevice + ": " + _("cannot write to the device:") + " " + snd_strerror(inError);
    }
}
