// SPDX-License-Identifier: MIT
#pragma once

// Resource ids shared by the resource scripts and the code.
#define DTR_PROGRAM_ICON 1
