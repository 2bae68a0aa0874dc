# SPDX-License-Identifier: MIT
# wire: wine
# wire: launches 1 waits 3
# A number with no device behind it: COM9 is not there at all.
source "$(dirname "${BASH_SOURCE[0]}")/wine_lib.sh"
bash "$REPO/scripts/wine-prefix" pin "$WINEPREFIX" 9 absent
launch
mark 1
type_port 9
click start
read_box box
dismiss_box
wait_exit status "$PID"
mark 2
check_ports
