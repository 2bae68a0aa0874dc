# SPDX-License-Identifier: MIT
# Run by CPack between staging the files and packing them
# (CPACK_PRE_BUILD_SCRIPTS): every directory of a package rwxr-xr-x, as a
# system has them. CMake makes them with mkdir(), which the builder's umask
# narrows: under umask 077 the .deb's directories were readable by root alone,
# and the bytes differed from a build under 022.
file(CHMOD_RECURSE ${CPACK_TEMPORARY_DIRECTORY}
     DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
