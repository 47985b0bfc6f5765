# Warnings for every target of ours; CI turns them into errors.
option(MIRELUNE_WERROR "Treat warnings as errors" OFF)
if("$ENV{CI}" STREQUAL "true")
  set(MIRELUNE_WERROR ON CACHE BOOL "Treat warnings as errors" FORCE)
endif()

# AddressSanitizer and UBSan for every target of ours (make test-sanitize).
option(MIRELUNE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(MIRELUNE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

function(mirelune_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow=local -Wnon-virtual-dtor)
  if(MIRELUNE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  # Qt's string literals must be explicit about their encoding.
  target_compile_definitions(${target} PRIVATE QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII
                                               QT_NO_URL_CAST_FROM_STRING QT_USE_QSTRINGBUILDER)
endfunction()
