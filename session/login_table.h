// The remembered-login table dsLogin: an in-memory table of two text fields,
// company and username (at most 200 characters each), holding no record or
// one. It is loaded from and saved to a JSON file:
//
//   {
//     "table": "dsLogin",
//     "fields": [
//       {"name": "company",  "type": "string", "size": 200},
//       {"name": "username", "type": "string", "size": 200}
//     ],
//     "records": [ {"company": "...", "username": "..."} ]
//   }
//
// "records" is empty when the table has no record. A longer value assigned to
// a field keeps its first 200 characters (UTF-16 code units, never splitting a
// surrogate pair).
#pragma once

#include <QString>

#include <functional>
#include <optional>

class LoginTable {
public:
    enum class Field { Company, Username };
    static constexpr qsizetype kFieldSize = 200;

    struct Record {
        QString company;
        QString username;
        bool operator==(const Record&) const = default;
    };

    bool active() const { return active_; }
    // Opens the table, empty, when it is not open; an open table stays as it is.
    void open();
    // Closes the table and discards its record.
    void close();

    // Replaces the table with the file's contents and opens it. On failure the
    // table is closed and std::runtime_error says what is wrong with the file.
    void loadFromFile(const QString& path);
    // Writes the whole table, replacing the file; creates its folder when it is
    // missing. std::runtime_error with the file system's message on failure.
    void saveToFile(const QString& path) const;

    const std::optional<Record>& record() const { return record_; }
    QString value(Field field) const;
    // Sets a field of the record; the first change on an empty table inserts
    // the record. Does nothing while the table is closed.
    void setValue(Field field, const QString& value);

    // The JSON text of the table (what saveToFile writes).
    QByteArray toJson() const;

    // Runs after every change of the table's state or of its record that did not
    // come from setValue (open, close, load): the bindings show the record.
    std::function<void()> onReset;

    static QString fitToField(const QString& value);

private:
    void reset();

    bool active_ = false;
    std::optional<Record> record_;
};
