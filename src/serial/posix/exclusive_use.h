#pragma once

#include <QString>

// Takes an open tty for exclusive use: an advisory flock, which also stops the openers that
// TIOCEXCL lets through (root, this process), and TIOCEXCL. Throws CommError: PortAlreadyOpen
// when another holds the flock, InvalidPortNumber when the device went away, OpenFailed for
// any other failure.
void takeExclusiveUse(int fd, const QString& path);
// Gives both up again before the descriptor closes.
void releaseExclusiveUse(int fd);
