// Where the updater finds its data: beside the build tree when run from it, under
// <prefix>/share/vyr-updater/ when installed.
#pragma once

#include <string>

/// <program's folder>/../share/inRelative when it exists there (the build tree, or the
/// prefix the program is installed under), or "".
std::string findBesideProgram(const std::string& inRelative);

/// The path of resource inName of type inType (file "inName.inType"), or "" if there is
/// none: <program's folder>/../share/vyr-updater/ first, then the installed data folder.
std::string findResource(const std::string& inName, const std::string& inType);
