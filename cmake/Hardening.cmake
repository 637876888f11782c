# Warnings are errors; every binary is PIE with full RELRO and immediate binding.
add_compile_options(-Wall -Wextra -Werror)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported()
add_link_options(-Wl,-z,relro -Wl,-z,now -Wl,--as-needed)
set(CMAKE_SKIP_RPATH ON)

# QV_SANITIZE: "address" (ASan + UBSan) or "thread" (TSan). GCC 12 reports
# maybe-uninitialized false positives inside libstdc++ (std::regex, std::function)
# once sanitizers instrument the code, so that one warning is off in these builds.
set(QV_SANITIZE "" CACHE STRING "Sanitizer build: address or thread")
if(QV_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
                      -Wno-maybe-uninitialized)
  add_link_options(-fsanitize=address,undefined)
elseif(QV_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -Wno-maybe-uninitialized)
  add_link_options(-fsanitize=thread)
elseif(NOT QV_SANITIZE STREQUAL "")
  message(FATAL_ERROR "QV_SANITIZE must be empty, address or thread")
endif()
