// Server-function calls: one statement, its parameters by name, its result
// held until the next execution.
#include "db.h"
#include "db_internal.h"

namespace db {

struct StoredFunction::Result {
    detail::ResultPtr res;
};

StoredFunction::StoredFunction(std::string name, Connection& connection, std::string sql)
    : name_(std::move(name)),
      connection_(connection),
      sql_(std::move(sql)),
      translated_(translateNamedParameters(sql_)),
      params_(translated_.names) {}

StoredFunction::~StoredFunction() = default;

void StoredFunction::execute() {
    closeResult();
    Connection::Use use(connection_);
    PGconn* pg = use.native();
    const detail::BoundParams bound(params_);
    detail::ResultPtr res(PQexecParams(pg, translated_.sql.c_str(), bound.count(), bound.types.data(),
                                       bound.values.data(), nullptr, nullptr, 0));
    if (!res) throw Error(detail::connectionMessage(pg));
    const ExecStatusType status = PQresultStatus(res.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) detail::throwResultError(res.get(), pg);
    result_ = std::make_unique<Result>(Result{std::move(res)});
}

void StoredFunction::closeResult() {
    result_.reset();
}

bool StoredFunction::hasResult() const {
    return result_ != nullptr;
}

size_t StoredFunction::resultRows() const {
    return result_ ? static_cast<size_t>(PQntuples(result_->res.get())) : 0;
}

size_t StoredFunction::resultColumns() const {
    return result_ ? static_cast<size_t>(PQnfields(result_->res.get())) : 0;
}

std::string StoredFunction::resultValue(size_t row, size_t column) const {
    if (row >= resultRows() || column >= resultColumns())
        throw Error(name_ + ": No result value at row " + std::to_string(row) + ", column " +
                    std::to_string(column));
    const int r = static_cast<int>(row), c = static_cast<int>(column);
    if (PQgetisnull(result_->res.get(), r, c)) return {};
    return std::string(PQgetvalue(result_->res.get(), r, c), static_cast<size_t>(PQgetlength(result_->res.get(), r, c)));
}

}  // namespace db
