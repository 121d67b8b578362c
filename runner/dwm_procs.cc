#include "runner/dwm_procs.h"

DwmProcs& GetDwmProcs() {
  static DwmProcs procs;
  return procs;
}
