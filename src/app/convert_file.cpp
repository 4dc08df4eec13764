#include "app/convert_file.h"

#include "app/workspace.h"

namespace kvtram {

std::string convertFile(Workspace&, const std::string&, const std::string&,
                        const ConversionOptions&) {
  return "未実装";
}

}  // namespace kvtram
