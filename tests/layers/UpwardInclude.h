// Checked as if it were a file of the codec, which may not include the device layer.
#include "Common/VYRController.h"
