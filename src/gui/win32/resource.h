// Resource ids of kvtram-gui.exe, shared by its resource script and code.
#pragma once

#define KVTRAM_IDI_APPLICATION 128
