#include "booking/pkpf_schema.h"

namespace infemora {

void PkpfSchemaAnlegen(SqliteDb& db) {
    // STRICT makes SQLite refuse a value of the wrong type instead of storing it as it comes.
    db.exec("CREATE TABLE pkpf ("
            " rnr INTEGER NOT NULL, lnr INTEGER NOT NULL,"
            " buchdatum INTEGER NOT NULL, buchzeit INTEGER NOT NULL,"
            " programm TEXT NOT NULL, vorfall TEXT NOT NULL,"
            " satzanzahl INTEGER NOT NULL, geslaenge INTEGER NOT NULL, prozessid INTEGER NOT NULL,"
            " startdatum INTEGER NOT NULL, startzeit INTEGER NOT NULL,"
            " endedatum INTEGER NOT NULL, endezeit INTEGER NOT NULL,"
            " terminal TEXT NOT NULL,"
            " benutzer_a INTEGER NOT NULL, benutzer_b INTEGER NOT NULL,"
            " benutzername TEXT NOT NULL, version TEXT NOT NULL, versiondatum INTEGER NOT NULL,"
            " saetze BLOB NOT NULL"
            ") STRICT;"
            "CREATE UNIQUE INDEX pkpf_buchungsnr ON pkpf (rnr, lnr);"
            "CREATE INDEX pkpf_liste ON pkpf (buchdatum, buchzeit, rnr, lnr);");
    db.exec(("PRAGMA application_id = " + std::to_string(PkpfApplicationId) + ";").c_str());
    db.exec(("PRAGMA user_version = " + std::to_string(PkpfSchemaVersion) + ";").c_str());
}

void PkpfSchemaPruefen(SqliteDb& db) {
    const std::string file = "Die Datei \"" + db.path() + "\"";
    if (db.pragmaInt("PRAGMA application_id") != PkpfApplicationId)
        throw EPkpfError(file + " ist keine Buchungsprotokoll-Datenbank.");
    const std::int64_t version = db.pragmaInt("PRAGMA user_version");
    if (version != PkpfSchemaVersion)
        throw EPkpfError(file + " hat die Schema-Version " + std::to_string(version) +
                         "; dieses Programm liest nur Buchungsprotokolle der Version " +
                         std::to_string(PkpfSchemaVersion) + ".");
}

} // namespace infemora
