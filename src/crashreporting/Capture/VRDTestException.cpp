#include "crashreporting/Capture/VRDTestException.h"

namespace crashreporting {

void VRDExceptionRaiseTestException() { throw VuveradaradTestException(); }

}  // namespace crashreporting
