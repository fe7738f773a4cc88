/* The type library's version. The IDL (through the IDL compiler's
   preprocessor) and module_ids.h, which registration and the control's
   dispatch load the library by, both take it from here. Plain defines only:
   the IDL compiler reads this file too. */
#ifndef BRIMLET_TYPE_LIBRARY_VERSION_H
#define BRIMLET_TYPE_LIBRARY_VERSION_H

#define BRIMLET_TYPELIB_MAJOR 1
#define BRIMLET_TYPELIB_MINOR 0

#endif
