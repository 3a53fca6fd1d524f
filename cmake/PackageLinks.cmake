# Read by CPack before it installs into the package: a package puts its links
# in /usr (a plain cmake --install in /usr/local, the administrator's place).
set(ENV{VANTREL_LINK_PREFIX} /usr)
