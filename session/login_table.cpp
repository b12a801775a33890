#include "login_table.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <array>
#include <stdexcept>
#include <string>

namespace {

constexpr std::array<const char*, 2> kFieldNames{"company", "username"};

[[noreturn]] void badLayout(const QString& path, const QString& detail) {
    throw std::runtime_error(
        QStringLiteral("Fisierul \"%1\" nu are structura asteptata: %2").arg(path, detail).toStdString());
}

QString stringMember(const rapidjson::Value& object, const char* name, const QString& path) {
    const auto it = object.FindMember(name);
    if (it == object.MemberEnd()) return {};
    if (it->value.IsNull()) return {};
    if (!it->value.IsString())
        badLayout(path, QStringLiteral("valoarea campului %1 nu este text").arg(QLatin1String(name)));
    return QString::fromUtf8(it->value.GetString(), static_cast<qsizetype>(it->value.GetStringLength()));
}

}  // namespace

void LoginTable::open() {
    if (active_) return;
    active_ = true;
    record_.reset();
    reset();
}

void LoginTable::close() {
    active_ = false;
    record_.reset();
    reset();
}

void LoginTable::reset() {
    if (onReset) onReset();
}

QString LoginTable::fitToField(const QString& value) {
    if (value.size() <= kFieldSize) return value;
    qsizetype n = kFieldSize;
    if (value.at(n - 1).isHighSurrogate() && value.at(n).isLowSurrogate()) --n;
    return value.left(n);
}

QString LoginTable::value(Field field) const {
    if (!record_) return {};
    return field == Field::Company ? record_->company : record_->username;
}

void LoginTable::setValue(Field field, const QString& value) {
    if (!active_) return;
    if (!record_) record_.emplace();
    (field == Field::Company ? record_->company : record_->username) = fitToField(value);
}

QByteArray LoginTable::toJson() const {
    rapidjson::StringBuffer buffer;
    rapidjson::PrettyWriter<rapidjson::StringBuffer> w(buffer);
    w.SetIndent(' ', 2);
    w.StartObject();
    w.Key("table");
    w.String("dsLogin");
    w.Key("fields");
    w.StartArray();
    for (const char* name : kFieldNames) {
        w.StartObject();
        w.Key("name");
        w.String(name);
        w.Key("type");
        w.String("string");
        w.Key("size");
        w.Int(static_cast<int>(kFieldSize));
        w.EndObject();
    }
    w.EndArray();
    w.Key("records");
    w.StartArray();
    if (record_) {
        const QByteArray company = record_->company.toUtf8();
        const QByteArray username = record_->username.toUtf8();
        w.StartObject();
        w.Key("company");
        w.String(company.constData(), static_cast<rapidjson::SizeType>(company.size()));
        w.Key("username");
        w.String(username.constData(), static_cast<rapidjson::SizeType>(username.size()));
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
    QByteArray out(buffer.GetString(), static_cast<qsizetype>(buffer.GetSize()));
    out += '\n';
    return out;
}

void LoginTable::loadFromFile(const QString& path) {
    // Whatever happens below, a failed load leaves the table closed.
    active_ = false;
    record_.reset();
    try {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error(
                QStringLiteral("Fisierul \"%1\" nu poate fi citit: %2").arg(path, file.errorString()).toStdString());
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw std::runtime_error(
                QStringLiteral("Fisierul \"%1\" nu poate fi citit: %2").arg(path, file.errorString()).toStdString());

        rapidjson::Document doc;
        doc.Parse<rapidjson::kParseStopWhenDoneFlag>(bytes.constData(), static_cast<size_t>(bytes.size()));
        if (doc.HasParseError())
            throw std::runtime_error(QStringLiteral("Fisierul \"%1\" nu este un JSON valid: %2 (octetul %3)")
                                         .arg(path, QString::fromUtf8(rapidjson::GetParseError_En(doc.GetParseError())))
                                         .arg(doc.GetErrorOffset())
                                         .toStdString());
        if (!doc.IsObject()) badLayout(path, QStringLiteral("nu este un obiect JSON"));

        const auto fields = doc.FindMember("fields");
        if (fields == doc.MemberEnd() || !fields->value.IsArray())
            badLayout(path, QStringLiteral("lipseste lista \"fields\""));
        if (fields->value.Size() != kFieldNames.size())
            badLayout(path, QStringLiteral("tabela trebuie sa aiba campurile company si username"));
        for (rapidjson::SizeType i = 0; i < fields->value.Size(); ++i) {
            const rapidjson::Value& f = fields->value[i];
            if (!f.IsObject()) badLayout(path, QStringLiteral("definitia unui camp nu este un obiect"));
            const auto name = f.FindMember("name");
            const auto type = f.FindMember("type");
            if (name == f.MemberEnd() || !name->value.IsString() ||
                std::string(name->value.GetString()) != kFieldNames[i])
                badLayout(path, QStringLiteral("tabela trebuie sa aiba campurile company si username"));
            if (type == f.MemberEnd() || !type->value.IsString() || std::string(type->value.GetString()) != "string")
                badLayout(path, QStringLiteral("campul %1 nu este de tip text").arg(QLatin1String(kFieldNames[i])));
        }

        const auto records = doc.FindMember("records");
        if (records == doc.MemberEnd() || !records->value.IsArray())
            badLayout(path, QStringLiteral("lipseste lista \"records\""));
        if (records->value.Size() > 1) badLayout(path, QStringLiteral("tabela are mai multe inregistrari"));
        std::optional<Record> loaded;
        if (records->value.Size() == 1) {
            const rapidjson::Value& r = records->value[0];
            if (!r.IsObject()) badLayout(path, QStringLiteral("inregistrarea nu este un obiect"));
            loaded = Record{fitToField(stringMember(r, "company", path)),
                            fitToField(stringMember(r, "username", path))};
        }
        active_ = true;
        record_ = std::move(loaded);
    } catch (...) {
        reset();
        throw;
    }
    reset();
}

void LoginTable::saveToFile(const QString& path) const {
    const QString folder = QFileInfo(path).absolutePath();
    QDir().mkpath(folder);  // a failure shows in the file's own error below
    QSaveFile file(path);
    const QByteArray json = toJson();
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit())
        throw std::runtime_error(
            QStringLiteral("Fisierul \"%1\" nu poate fi scris: %2").arg(path, file.errorString()).toStdString());
}
