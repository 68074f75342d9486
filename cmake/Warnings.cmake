# Passing a class object (a CString) through printf-style varargs is undefined:
# make it an error, not a warning.
add_compile_options(-Wall -Wextra
  $<$<COMPILE_LANGUAGE:CXX>:-Werror=conditionally-supported>
  -Werror=format -Werror=format-security)
