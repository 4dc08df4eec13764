// Everything one conversion works in, allocated once with its fixed
// capacities and reused file after file. One workspace per thread.
#pragma once

namespace kvtram {

class Workspace {
 public:
  Workspace();
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;
};

}  // namespace kvtram
