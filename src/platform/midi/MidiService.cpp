#include "platform/midi/MidiService.h"

namespace platform::midi {

bool standardErrorText(MMRESULT code, std::string& text)
{
    switch (code) {
    case MMSYSERR_NOERROR:
        text = "The specified command was carried out.";
        return true;
    case MMSYSERR_ERROR:
        text = "Undefined external error.";
        return true;
    case MMSYSERR_BADDEVICEID:
        text = "A device ID has been used that is out of range for your system.";
        return true;
    case MMSYSERR_NOTENABLED:
        text = "The driver was not enabled.";
        return true;
    case MMSYSERR_ALLOCATED:
        text = "The specified device is already in use. Wait until it is free, and then try "
               "again.";
        return true;
    case MMSYSERR_INVALHANDLE:
        text = "The specified device handle is invalid.";
        return true;
    case MMSYSERR_NODRIVER:
        text = "There is no driver installed on your system.";
        return true;
    case MMSYSERR_NOMEM:
        text = "There is not enough memory available for this task. Quit one or more "
               "applications to increase available memory, and then try again.";
        return true;
    case MMSYSERR_INVALFLAG:
        text = "An invalid flag was passed to a system function.";
        return true;
    case MMSYSERR_INVALPARAM:
        text = "An invalid parameter was passed to a system function.";
        return true;
    case MIDIERR_UNPREPARED:
        text = "The MIDI header was not prepared. Use the Prepare function to prepare the "
               "header, and then try again.";
        return true;
    case MIDIERR_STILLPLAYING:
        text = "Buffers are still queued with the device. Reset the device and try again.";
        return true;
    default:
        return false;
    }
}

} // namespace platform::midi
