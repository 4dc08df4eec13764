#include "app/workspace.h"

namespace kvtram {

Workspace::Workspace() = default;

}  // namespace kvtram
