#!/usr/bin/env bash
# Loads the reference databases into a cluster as its superuser.
# Environment: PGHOST, PGPORT, PGUSER (superuser), WPV_COMPANY_HOST and
# WPV_COMPANY_PORT (the address the directory rows give for the companies).
#
# Makes: the roles vek and vek_owner (roles.sql); the directory vek_mob
# (directory.sql) with the demo companies' rows; the template company database
# vek_template (company/*.sql), closed to connections; and the demo company
# databases vek_demo (passwords as SHA-256) and vek_demo_plain, cloned from it
# with the demo data (company/demo.sql). See db/README.md.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
: "${WPV_COMPANY_HOST:?WPV_COMPANY_HOST is not set}" "${WPV_COMPANY_PORT:?WPV_COMPANY_PORT is not set}"
psql_su() { psql -X -q -v ON_ERROR_STOP=1 "$@"; }
verifier=$(cat "$here/vek-account.verifier")

psql_su -d postgres -v vek_verifier="$verifier" -f "$here/roles.sql"

psql_su -d postgres -c "CREATE DATABASE vek_mob"
psql_su -d vek_mob -f "$here/directory.sql"

psql_su -d postgres -c "CREATE DATABASE vek_template"
for f in schema functions privileges template-data; do
  psql_su -d vek_template -f "$here/company/$f.sql"
done
psql_su -d postgres -c "REVOKE ALL ON DATABASE vek_template FROM PUBLIC" \
                    -c "ALTER DATABASE vek_template WITH IS_TEMPLATE true ALLOW_CONNECTIONS false"

company() {  # name, eu name, pw_hash
  psql_su -d postgres -c "CREATE DATABASE $1 TEMPLATE vek_template" \
                      -c "REVOKE ALL ON DATABASE $1 FROM PUBLIC" \
                      -c "GRANT CONNECT ON DATABASE $1 TO vek"
  psql_su -d "$1" -v eu_name="$2" -v pw_hash="$3" -v invoices="$(cat "$here/demo/invoices.csv")" \
          -f "$here/company/demo.sql" >/dev/null
}
company vek_demo "DEMO SRL" HashSHA2
company vek_demo_plain "DEMO PLAIN SRL" plain

psql_su -d vek_mob -v company_host="$WPV_COMPANY_HOST" -v company_port="$WPV_COMPANY_PORT" \
        -f "$here/directory-demo.sql"
