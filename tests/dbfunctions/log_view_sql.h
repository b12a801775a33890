// The collections log statement of the collections window, word for word,
// with :pDataIncep as libpq's $1. Tests run it to check what the reference
// database gives the log view.
#pragma once

#include "log_statement.h"

namespace dbf {

inline const char* const kLogViewSql = testdb::logStatementPositional().c_str();

}  // namespace dbf
