#include <gtest/gtest.h>

#include <string>

#include "oidtable/type_names.h"

namespace kivostrel {
namespace {

TEST(Name2TypeIDTest, ExactNamesOnly) {
  const struct {
    const char* name;
    std::int16_t id;
  } cases[] = {
      {"Integer", 2},
      {"OctetString", 4},
      {"Null", 5},
      {"ObjectID", 6},
      {"Sequence", 48},
      {"IpAddress", 64},
      {"Counter", 65},
      {"Gauge", 66},
      {"TimeTicks", 67},
      {"Opaque", 68},
      {"GetRequest", 160},
      {"GetNextRequest", 161},
      {"GetResponse", 162},
      {"SetRequest", 163},
      {"Trap", 164},
      {"", -1},
      {"trap", -1},
      {"integer", -1},
      {"Integer ", -1},
      {" Integer", -1},
      {"OCTETSTRING", -1},
      {"ObjectId", -1},
      {"Counter32", -1},
      {"getbulkrequest", -1},
      // The SNMPv2 types and PDUs, named as the decoder names them.
      {"Counter64", 70},
      {"NoSuchObject", 128},
      {"NoSuchInstance", 129},
      {"EndOfMibView", 130},
      {"GetBulkRequest", 165},
      {"InformRequest", 166},
      {"SNMPv2-Trap", 167},
      {"Report", 168},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Name2TypeID(c.name), c.id);
  }
  EXPECT_EQ(Name2TypeID(std::string("Trap\0", 5)), -1);
}

TEST(Err2StrTest, NamesTheSnmpStatusesAndTheFormatError) {
  const struct {
    std::int16_t status;
    const char* text;
  } cases[] = {
      {-1, "FormatError"},  {0, "NoError"},       {1, "TooBig"},           {2, "NoSuchName"},
      {3, "BadValue"},      {4, "ReadOnly"},      {5, "GenError"},         {6, "UnknownError"},
      {-2, "UnknownError"}, {18, "UnknownError"}, {32767, "UnknownError"}, {-32768, "UnknownError"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    EXPECT_EQ(Err2Str(c.status), c.text);
  }
}

}  // namespace
}  // namespace kivostrel
