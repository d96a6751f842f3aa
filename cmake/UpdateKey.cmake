# Builds the provider's update key into an executable: a generated source defines
# kUpdatePublicKeyPem (ui/UpdateKey.h) from a PEM file with an ECDSA P-256 public key, the
# output of `openssl ec -pubout`.
#   velmora_add_update_key(target [KEY file.pem])
# Without KEY the build option VELMORA_UPDATE_KEY is used; empty means no key, which the
# configuration allows only with VELMORA_UNSIGNED_UPDATES=ON (the loopback test trees).
set(VELMORA_UPDATE_KEY "" CACHE FILEPATH
    "PEM file with the ECDSA P-256 public key that update downloads must be signed with")
option(VELMORA_UNSIGNED_UPDATES
       "Build without an update key: any executable with a higher version is taken as an update" OFF)

# Without a key, whoever answers the plain-HTTP account query can hand the program, which runs
# as administrator, a program of their own: such a build must be asked for by name.
if(NOT VELMORA_UPDATE_KEY AND NOT VELMORA_UNSIGNED_UPDATES)
  message(FATAL_ERROR
    "No update key: a release takes only signed updates. Give the provider's public key with "
    "-DVELMORA_UPDATE_KEY=/path/update-public.pem (README, \"Updates\"), or build one that "
    "takes unsigned updates from anyone on the line with -DVELMORA_UNSIGNED_UPDATES=ON.")
endif()

function(velmora_add_update_key target)
  cmake_parse_arguments(K "" "KEY" "" ${ARGN})
  if(NOT K_KEY)
    set(K_KEY "${VELMORA_UPDATE_KEY}")
  endif()
  set(pem "")
  if(K_KEY)
    if(NOT EXISTS "${K_KEY}")
      message(FATAL_ERROR "update key not found: ${K_KEY}")
    endif()
    file(READ "${K_KEY}" pem)
    if(NOT pem MATCHES "-----BEGIN PUBLIC KEY-----[A-Za-z0-9+/=\r\n]+-----END PUBLIC KEY-----")
      message(FATAL_ERROR "${K_KEY} holds no PEM public key (make it with `openssl ec -pubout`)")
    endif()
    string(REGEX MATCH "-----BEGIN PUBLIC KEY-----[A-Za-z0-9+/=\r\n]+-----END PUBLIC KEY-----"
           pem "${pem}")
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${K_KEY}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${K_KEY}")
  endif()
  set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}.UpdateKey.cpp)
  file(CONFIGURE OUTPUT ${source} CONTENT
       "// Generated from the build's update key; do not edit.\n#include \"ui/UpdateKey.h\"\n\nnamespace velmora {\n\nconst char kUpdatePublicKeyPem[] = R\"pem(@pem@)pem\";\n\n}  // namespace velmora\n"
       @ONLY)
  target_sources(${target} PRIVATE ${source})
endfunction()
