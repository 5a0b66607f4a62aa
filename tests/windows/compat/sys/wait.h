#pragma once

// The Windows runtime's pclose and system give the program's exit code itself.
#define WIFEXITED(status) ((status) != -1)
#define WEXITSTATUS(status) (status)
