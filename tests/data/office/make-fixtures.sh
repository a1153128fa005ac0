#!/bin/sh
# Writes the office fixtures from the flat OpenDocument sources beside this
# script, with an office suite (Debian: libreoffice-writer-nogui,
# libreoffice-calc-nogui, libreoffice-impress-nogui). Not run by the tests,
# which read the files it made; run it again only to remake them.
set -e
cd "$(dirname "$0")"
for format in docx odt; do soffice --headless --convert-to $format fixture.fodt; done
for format in xlsx ods; do soffice --headless --convert-to $format fixture.fods; done
for format in pptx odp; do soffice --headless --convert-to $format fixture.fodp; done
