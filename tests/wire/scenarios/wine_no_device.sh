# SPDX-License-Identifier: MIT
# wire: wine
# wire: launches 1 waits 4
# wire: pin 9 absent
# A number with no device behind it: COM9 is not there at all.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
refused_start "" 9 1
check_ports
