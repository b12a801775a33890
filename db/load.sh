#!/usr/bin/env bash
# Loads the reference databases into a cluster as its superuser.
# Environment: PGHOST, PGPORT, PGUSER (superuser), WPV_COMPANY_HOST and
# WPV_COMPANY_PORT (the address the directory rows give for the companies).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
psql_su() { psql -X -q -v ON_ERROR_STOP=1 "$@"; }
verifier=$(cat "$here/vek-account.verifier")
psql_su -d postgres -c "CREATE ROLE vek LOGIN PASSWORD '$verifier'"
psql_su -d postgres -c "CREATE DATABASE vek_mob"
psql_su -d postgres -c "CREATE DATABASE vek_template"
