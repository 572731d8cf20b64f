# Title: pageconv turns a print file into a document
say "print/INVOICE.PRT is a print file: a printer set-up string, an overprinted"\
    "total line, two pages. pageconv writes an RTF document sized to its longest"\
    "line."
run 'pageconv print/INVOICE.PRT print/INVOICE.rtf'
if command -v soffice >/dev/null 2>&1; then
  say "LibreOffice is installed: it prints the document to PDF, as a reader shows it."
  run 'soffice -env:UserInstallation=file://$PWD/.libreoffice --headless --convert-to pdf --outdir print print/INVOICE.rtf >/dev/null 2>&1; ls print/INVOICE.pdf'
  if command -v pdftoppm >/dev/null 2>&1; then
    run 'pdftoppm -png -r 100 -f 1 -l 1 -singlefile print/INVOICE.pdf print/INVOICE; ls print/INVOICE.png'
  else
    # A full LibreOffice draws the first page itself; the one without a window cannot.
    soffice -env:UserInstallation="file://$PWD/.libreoffice" --headless --convert-to png \
      --outdir print print/INVOICE.rtf >/dev/null 2>&1 || true
  fi
  if [ -f print/INVOICE.png ]; then
    say "Open $work/print/INVOICE.pdf or look at $work/print/INVOICE.png to see it."
  else
    say "Open $work/print/INVOICE.pdf to see it (for a picture of its first page,"\
        "install poppler-utils)."
  fi
else
  say "To see the document as a reader shows it, open $work/print/INVOICE.rtf in"\
      "a word processor. With LibreOffice installed (Debian: apt-get install"\
      "libreoffice-writer-nogui, and poppler-utils for a picture), make demo"\
      "prints it to PDF and PNG here."
fi
