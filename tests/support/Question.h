// The prompt every front-end test asks: two buttons, the update-mode question.
#pragma once

#include "Shell/UserInterface.h"

inline const SAlert kQuestion{"Please change VYR to update mode.",
                              "Please change VYR to update mode.",
                              {"OK", "Cancel"},
                              false};
