// Starting a text viewer on a file and waiting for it to close.
#pragma once

#include <string>
#include <vector>

// The command that views a file: $VISUAL, else $EDITOR (each split at blanks, so
// "code --wait" works), else xdg-open; empty variables count as unset.
std::vector<std::vector<std::string>> ViewerCommands();

// Runs the first viewer that starts, with path as its last argument, and waits for it to
// end. No shell is involved: the path reaches the viewer as one argument whatever it holds.
// False with errorText when no viewer could be started or it reported a failure.
bool ViewFile(const std::string& path, std::string& errorText);
