#!/usr/bin/python3
"""Keeps one LibreOffice process warm for one conversion worker of
mirelune-service and converts documents in it on request.

Requests arrive on standard input, one JSON object per line:
    {"input": PATH, "output": PATH, "filter": NAME, "import": NAME}
"filter" is the export filter, or "pdf" for the PDF export that suits the
document; "import" forces an import filter and may be empty. Every request is
answered on standard output with one line: {"ok": true} or
{"ok": false, "error": TEXT}. When LibreOffice dies during a conversion the
answer is {"ok": false, "crashed": true, "error": TEXT} and the bridge ends at
once, so that its worker notices the crash now and not at the time-out; when
it had died before the request came, the answer is {"ok": false, "ended": true,
"error": TEXT} and nothing was tried. The bridge ends when its input ends, and
takes its LibreOffice process with it.
"""
import json
import os
import subprocess
import sys
import time

import uno
from com.sun.star.beans import PropertyValue
from com.sun.star.connection import NoConnectException

PDF_EXPORTS = (
    ("com.sun.star.text.TextDocument", "writer_pdf_Export"),
    ("com.sun.star.sheet.SpreadsheetDocument", "calc_pdf_Export"),
    ("com.sun.star.presentation.PresentationDocument", "impress_pdf_Export"),
    ("com.sun.star.drawing.DrawingDocument", "draw_pdf_Export"),
)


def properties(**values):
    result = []
    for name, value in values.items():
        item = PropertyValue()
        item.Name = name
        item.Value = value
        result.append(item)
    return tuple(result)


def start_office(soffice, profile, pipe):
    # The office gets no standard streams of ours: they carry the protocol.
    return subprocess.Popen(
        [soffice, "-env:UserInstallation=" + uno.systemPathToFileUrl(profile), "--headless", "--invisible",
         "--nologo", "--norestore", "--nodefault", "--nolockcheck",
         "--accept=pipe,name=%s;urp;StarOffice.ComponentContext" % pipe],
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=sys.stderr)


def connect(pipe, office, seconds=60):
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
    deadline = time.monotonic() + seconds
    while True:
        try:
            context = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            return context.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", context)
        except NoConnectException:
            if office.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("LibreOffice did not start")
            time.sleep(0.1)


def export_filter(document, requested):
    if requested != "pdf":
        return requested
    for service, name in PDF_EXPORTS:
        if document.supportsService(service):
            return name
    return "writer_pdf_Export"


def convert(desktop, request):
    load = {"Hidden": True, "ReadOnly": True}
    if request.get("import"):
        load["FilterName"] = request["import"]
    url = uno.systemPathToFileUrl(os.path.abspath(request["input"]))
    document = desktop.loadComponentFromURL(url, "_blank", 0, properties(**load))
    if document is None:
        return {"ok": False, "error": "Error: source file could not be loaded"}
    try:
        target = uno.systemPathToFileUrl(os.path.abspath(request["output"]))
        document.storeToURL(target, properties(FilterName=export_filter(document, request["filter"])))
    finally:
        document.close(True)
    return {"ok": True}


def alive(desktop):
    try:
        desktop.getCurrentComponent()
        return True
    except Exception:
        return False


def main():
    soffice, profile, pipe = sys.argv[1], sys.argv[2], sys.argv[3]
    office = start_office(soffice, profile, pipe)
    try:
        desktop = connect(pipe, office)
        print(json.dumps({"ready": True}), flush=True)
        for line in sys.stdin:
            if office.poll() is not None or not alive(desktop):
                print(json.dumps({"ok": False, "ended": True,
                                  "error": "LibreOffice had ended before the conversion"}), flush=True)
                return
            try:
                reply = convert(desktop, json.loads(line))
            except Exception as error:  # a document LibreOffice refuses, or a lost office
                if office.poll() is not None or not alive(desktop):
                    print(json.dumps({"ok": False, "crashed": True,
                                      "error": "LibreOffice ended during the conversion"}), flush=True)
                    return
                reply = {"ok": False, "error": "Error: %s" % (getattr(error, "Message", "") or error)}
            print(json.dumps(reply), flush=True)
    finally:
        try:
            desktop.terminate()
        except Exception:
            pass
        try:
            office.wait(10)
        except subprocess.TimeoutExpired:
            office.kill()


if __name__ == "__main__":
    main()
