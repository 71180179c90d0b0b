# The Python module's prerequisites: an interpreter with NumPy, its headers and pybind11. Sets
# TESSELLOR_PYTHON_FOUND, TESSELLOR_PYTEST_FOUND and the install folder of the module.

# The system interpreter unless one is named (-DPython3_EXECUTABLE=...): the module is built for the
# Python the Debian packages serve, not for whichever python3 comes first on the PATH.
if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
  set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "Python interpreter the module is built for")
endif()
find_package(Python3 QUIET COMPONENTS Interpreter Development.Module)
set(TESSELLOR_PYTHON_FOUND FALSE)
set(TESSELLOR_PYTEST_FOUND FALSE)
if(Python3_FOUND)
  find_package(pybind11 CONFIG QUIET)
  execute_process(COMMAND ${Python3_EXECUTABLE} -c "import numpy" RESULT_VARIABLE numpy_missing
                  OUTPUT_QUIET ERROR_QUIET)
  if(pybind11_FOUND AND numpy_missing EQUAL 0)
    set(TESSELLOR_PYTHON_FOUND TRUE)
  endif()
  execute_process(COMMAND ${Python3_EXECUTABLE} -c "import pytest" RESULT_VARIABLE pytest_missing
                  OUTPUT_QUIET ERROR_QUIET)
  if(pytest_missing EQUAL 0)
    set(TESSELLOR_PYTEST_FOUND TRUE)
  endif()
endif()

# cmake --install puts the module where the interpreter looks under CMAKE_INSTALL_PREFIX: the
# platform library folder of its default scheme, relative to that scheme's base
# (Debian: lib/python3.X/dist-packages, so /usr/local/lib/python3.X/dist-packages by default).
if(TESSELLOR_PYTHON_FOUND AND NOT DEFINED TESSELLOR_PYTHON_INSTALL_DIR)
  execute_process(
    COMMAND ${Python3_EXECUTABLE} -c
            "import os, sysconfig; print(os.path.relpath(sysconfig.get_path('platlib'), sysconfig.get_path('data')))"
    OUTPUT_VARIABLE python_dir OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE python_dir_failed)
  if(python_dir_failed OR python_dir MATCHES "^\\.\\.")
    set(python_dir lib/python${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}/site-packages)
  endif()
  set(TESSELLOR_PYTHON_INSTALL_DIR ${python_dir} CACHE STRING
      "Folder the Python module is installed into (relative to CMAKE_INSTALL_PREFIX, or absolute)")
endif()
