/* Debian ships libplist as a shared library only, so a static program cannot link it. This host reads no
   property list (it never sets a bundle, and the images it loads are no frameworks), so the functions the
   library's archive refers to stand in here and end the program should one ever be called. */
#include <stdlib.h>

#define UNAVAILABLE(name) \
  void name(void) { abort(); }

UNAVAILABLE(plist_array_append_item)
UNAVAILABLE(plist_array_get_item)
UNAVAILABLE(plist_array_get_size)
UNAVAILABLE(plist_dict_new_iter)
UNAVAILABLE(plist_dict_next_item)
UNAVAILABLE(plist_dict_set_item)
UNAVAILABLE(plist_free)
UNAVAILABLE(plist_from_memory)
UNAVAILABLE(plist_get_bool_val)
UNAVAILABLE(plist_get_data_ptr)
UNAVAILABLE(plist_get_node_type)
UNAVAILABLE(plist_get_real_val)
UNAVAILABLE(plist_get_string_ptr)
UNAVAILABLE(plist_get_uint_val)
UNAVAILABLE(plist_new_array)
UNAVAILABLE(plist_new_bool)
UNAVAILABLE(plist_new_data)
UNAVAILABLE(plist_new_dict)
UNAVAILABLE(plist_new_real)
UNAVAILABLE(plist_new_string)
UNAVAILABLE(plist_new_uint)
UNAVAILABLE(plist_to_xml)
UNAVAILABLE(plist_to_xml_free)
