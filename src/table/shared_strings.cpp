#include "table/shared_strings.h"

#include "platform/resources.h"

namespace ddt {
namespace {

SharedStrings LoadSharedStrings() {
  using namespace ddt::platform;
  SharedStrings s;
  // The order the library has always loaded them in; an id missing from the table leaves
  // its string empty.
  s.out = LoadString(IDS_OUTPUT_SUFFIX);
  s.exp = LoadString(IDS_EXPECTED_SUFFIX);
  s.end = LoadString(IDS_TERMINATOR_MARK);
  s.global = LoadString(IDS_GLOBAL_SHEET);
  s.iter = LoadString(IDS_ITER_COLUMN);
  s.vid = LoadString(IDS_VID_COLUMN);
  s.host = LoadString(IDS_HOST_COLUMN);
  s.group = LoadString(IDS_GROUP_COLUMN);
  return s;
}

}  // namespace

const SharedStrings& Shared() {
  static const SharedStrings strings = LoadSharedStrings();
  return strings;
}

}  // namespace ddt
