#pragma once

// Windows keeps its serial ports in the registry and the device namespace, which tests do not
// redirect: nothing to point elsewhere.
struct SystemFolders {};
