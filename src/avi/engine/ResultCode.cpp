#include "avi/engine/ResultCode.h"

namespace kinetar::avi {

std::string ResultMessage(ResultCode result)
{
    switch (result) {
    case kResultOldVideoLibrary:
        return "Your version of Video for Windows is old. You should have version 1.1 of VfW.";
    case kResultCannotOpenFile:
        return "Can't open AVI file.\r\nIt's probably in use.";
    case kResultCannotCreateStream:
        return "Internal error 1: Please contact me with description.";
    case kResultCannotMakeCompressor:
        return "Internal error 2: Please contact me with description.";
    case kResultFormatRefused:
        return "Selected video codec can't use selected format of AVI";
    case kResultWriteFailed:
        return "Can't write to drive. Please check free space.\r\nand try it again.";
    case kResultDone:
    case kResultStopped:
        break;
    }
    return {};
}

}  // namespace kinetar::avi
