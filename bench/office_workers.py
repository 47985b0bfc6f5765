#!/usr/bin/env python3
"""What a second warm office can give on this machine, without the service.

Starts the service's own office bridge (service/converters/office_bridge.py)
once and twice, warms each office up, then converts the same documents to PDF
through one office and through two offices sharing the list, ROUNDS times
each, alternating. Prints the median seconds of each and their ratio: the
ceiling that LibreOffice itself puts on "2 workers against 1" here, since the
service adds its own work on top. Not a test.

    bench/office_workers.py WORKDIR ROUNDS DOCUMENT...
"""
import json
import os
import shutil
import statistics
import subprocess
import sys
import threading
import time

# The UNO module belongs to the system's interpreter, as the service knows too.
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
BRIDGE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "service", "converters",
                      "office_bridge.py")


class Office:
    def __init__(self, workdir, index):
        self.folder = os.path.join(workdir, "office-%d" % index)
        os.makedirs(self.folder, exist_ok=True)
        soffice = shutil.which("soffice") or "libreoffice"
        pipe = "mirelune-bench-%d-%d" % (os.getpid(), index)
        self.process = subprocess.Popen(
            [PYTHON, BRIDGE, soffice, os.path.join(self.folder, "profile"), pipe],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        if not json.loads(self.process.stdout.readline() or "{}").get("ready"):
            raise SystemExit("the office bridge did not start")

    def convert(self, document):
        output = os.path.join(self.folder, os.path.basename(document) + ".pdf")
        request = {"input": document, "output": output, "filter": "pdf", "import": ""}
        self.process.stdin.write(json.dumps(request) + "\n")
        self.process.stdin.flush()
        if not json.loads(self.process.stdout.readline() or "{}").get("ok"):
            raise SystemExit("the office could not convert " + document)

    def close(self):
        self.process.stdin.close()
        self.process.wait(60)


def batch(offices, documents):
    """Seconds for the offices to convert all documents, each taking the next one free."""
    waiting = list(documents)
    lock = threading.Lock()

    def work(office):
        while True:
            with lock:
                if not waiting:
                    return
                document = waiting.pop(0)
            office.convert(document)

    start = time.monotonic()
    threads = [threading.Thread(target=work, args=(office,)) for office in offices]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return time.monotonic() - start


def main():
    if len(sys.argv) < 4:
        raise SystemExit(__doc__)
    workdir, rounds = sys.argv[1], int(sys.argv[2])
    documents = [os.path.abspath(path) for path in sys.argv[3:]]
    offices = [Office(workdir, 0), Office(workdir, 1)]
    try:
        for office in offices:
            office.convert(documents[0])
        times = {1: [], 2: []}
        for _ in range(rounds):
            times[1].append(batch(offices[:1], documents))
            times[2].append(batch(offices, documents))
        one, two = statistics.median(times[1]), statistics.median(times[2])
        print("%.3f %.3f %.2f" % (one, two, one / two))
    finally:
        for office in offices:
            office.close()


if __name__ == "__main__":
    main()
