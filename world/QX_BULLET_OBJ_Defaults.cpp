// The world's advanced values as every simulated object's defaults.

#include "world/QX_BULLET_OBJ.h"

namespace Quarix {

void QX_BULLET_OBJ::PushWorldDefaults() {}

} // namespace Quarix
