// What the naming rules found out about an entry, read by the copy and the history lines.
#pragma once

namespace volari {

struct EntryFlags {
  bool graphic = true;     // an image (any file that is not a page)
  bool url_ftp = false;    // an ftp or file URL
  bool names_file = true;  // the URL names a file (else ROOTHTML was used)
};

}  // namespace volari
