# Finds m_pd.h (pkg-config pd, or PD_INCLUDE_DIR) and sets the plug-in's file
# extension for the platform being built.
set(PD_INCLUDE_DIR "" CACHE PATH "Folder that holds m_pd.h (found with pkg-config when empty)")
if(NOT PD_INCLUDE_DIR)
  find_package(PkgConfig QUIET)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(PD_PC QUIET pd)
  endif()
  # The header is the same for every target platform: look on the build machine too.
  find_path(PD_HEADER_DIR m_pd.h HINTS ${PD_PC_INCLUDE_DIRS} PATHS /usr/include/pd /usr/local/include/pd NO_CACHE
            NO_CMAKE_FIND_ROOT_PATH)
  if(PD_HEADER_DIR)
    set(PD_INCLUDE_DIR ${PD_HEADER_DIR})
  endif()
endif()
if(NOT PD_INCLUDE_DIR OR NOT EXISTS ${PD_INCLUDE_DIR}/m_pd.h)
  message(FATAL_ERROR "m_pd.h not found: install puredata-dev or set PD_INCLUDE_DIR")
endif()

add_library(pd_headers INTERFACE)
target_include_directories(pd_headers SYSTEM INTERFACE ${PD_INCLUDE_DIR})
target_compile_definitions(pd_headers INTERFACE PD PD_FLOATSIZE=32)

if(WIN32)
  set(PD_EXTENSION ".dll")
elseif(APPLE)
  set(PD_EXTENSION ".pd_darwin")
else()
  set(PD_EXTENSION ".pd_linux")
endif()
