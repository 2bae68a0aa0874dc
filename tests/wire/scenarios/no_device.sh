# SPDX-License-Identifier: MIT
# wire: launches 1 waits 6
# A number with no device: the report read, then dismissed from the keyboard.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
refused_start "" 9 1
