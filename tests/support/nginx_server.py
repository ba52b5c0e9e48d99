#!/usr/bin/env python3
"""Runs nginx for one test and makes sure it does not outlive it.

The test writes <dir>/nginx.conf (with "daemon off", "master_process off" and
every path inside <dir>) and starts this script from under Wine. The script
lets go of the descriptors it was handed, makes a self-signed certificate for
the host vantor.invalid (<dir>/tls.crt and <dir>/tls.key), and runs nginx in
the foreground as its child: nginx writes its process id to <dir>/nginx.pid
once it listens, and the test stops it by that id. Should the test not do so
(it crashed), nginx is ended here when <dir> disappears or after --lifetime
seconds. nginx's own output goes to <dir>/error.log, this script's to
<dir>/launcher.log.
"""

import argparse
import os
import signal
import subprocess
import sys
import time

# Beside this script; python puts the script's folder on the path.
from loopback_http_server import detach


def make_certificate(openssl, folder):
    subprocess.run([openssl, "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-keyout", os.path.join(folder, "tls.key"), "-out", os.path.join(folder, "tls.crt"),
                    "-days", "2", "-subj", "/CN=vantor.invalid"], check=True, stdout=subprocess.DEVNULL)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dir", required=True, help="the test's folder, holding nginx.conf")
    parser.add_argument("--nginx", required=True, help="the nginx program")
    parser.add_argument("--openssl", required=True, help="the openssl program")
    parser.add_argument("--lifetime", type=float, default=300.0, help="seconds after which nginx is ended anyway")
    args = parser.parse_args()

    folder = os.path.abspath(args.dir)
    detach(folder, "launcher.log")
    make_certificate(args.openssl, folder)
    os.makedirs(os.path.join(folder, "temp"), exist_ok=True)
    error_log = os.path.join(folder, "error.log")
    nginx = subprocess.Popen([args.nginx, "-p", folder + "/", "-c", os.path.join(folder, "nginx.conf"),
                              "-e", error_log])
    deadline = time.monotonic() + args.lifetime
    while nginx.poll() is None:
        if not os.path.isdir(folder) or time.monotonic() > deadline:
            print("ending nginx %d: its test is gone" % nginx.pid, flush=True)
            nginx.send_signal(signal.SIGTERM)
            try:
                nginx.wait(5)
            except subprocess.TimeoutExpired:
                nginx.kill()
            break
        time.sleep(0.25)
    return 0


if __name__ == "__main__":
    sys.exit(main())
