#!/usr/bin/env python3
"""Authenticode signing of the built program with scripts/sign-authenticode and a throw-away
certificate made for this run (scripts/test-certificate): the signed file verifies against the
certificate's authority, says SHA-256 and the pinned signing time, is the same bytes whichever
way the password came and at every signing, and without its signature is the unsigned build;
a changed byte or another authority fails the verification; a wrong or missing certificate or
password stops the signing and leaves the file as it was; a key on a PKCS#11 token (SoftHSM
here) signs as well; a time-stamp comes from the server named, here one on loopback.

Configuration from the environment (set by CTest): OSTRADA_EXE, STRIP (the toolchain's),
VELMORA_TEST_WORK."""

import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import unittest
from pathlib import Path

sys.dont_write_bytecode = True
REPO = Path(__file__).resolve().parents[2]
SIGNING_TIME = "1700000000"  # 14 Nov 2023 22:13:20 GMT
SOFTHSM_MODULE = "/usr/lib/softhsm/libsofthsm2.so"


def verify(exe: Path, authority: Path, *options) -> subprocess.CompletedProcess:
    return subprocess.run(["osslsigncode", "verify", "-CAfile", str(authority), *options, "-in",
                           str(exe)], capture_output=True, text=True)


class TimeStampServer(http.server.HTTPServer):
    """An RFC 3161 time-stamp server on 127.0.0.1: each request answered by `openssl ts` with
    the test authority's time-stamping certificate."""

    def __init__(self, certificate: Path):
        self.config = certificate / "ts.cnf"
        (certificate / "tsa-serial").write_text("01\n")
        self.config.write_text(f"""[tsa]
default_tsa = tsa_config
[tsa_config]
serial = {certificate}/tsa-serial
crypto_device = builtin
signer_cert = {certificate}/tsa.pem
certs = {certificate}/ca.pem
signer_key = {certificate}/tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
other_policies = 1.2.3.4.2
digests = sha256
accuracy = secs:1
ordering = no
tsa_name = no
ess_cert_id_chain = no
ess_cert_id_alg = sha256
""")
        super().__init__(("127.0.0.1", 0), TimeStampHandler)
        threading.Thread(target=self.serve_forever, daemon=True).start()

    @property
    def url(self):
        return f"http://127.0.0.1:{self.server_address[1]}/"


class TimeStampHandler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        with tempfile.NamedTemporaryFile() as file:
            file.write(query)
            file.flush()
            reply = subprocess.run(["openssl", "ts", "-reply", "-config", str(self.server.config),
                                    "-queryfile", file.name], capture_output=True).stdout
        self.send_response(200 if reply else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


class Signing(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        exe = os.environ.get("OSTRADA_EXE")
        if not exe:
            raise unittest.SkipTest("OSTRADA_EXE is not set")
        cls.work = Path(os.environ.get("VELMORA_TEST_WORK", "build/signing-test")).resolve()
        shutil.rmtree(cls.work, ignore_errors=True)
        cls.work.mkdir(parents=True)
        # Stripped as a release is: it then ends where its last section ends, a multiple of
        # the file alignment, and the signature follows without padding.
        stripped = cls.work / "unsigned.exe"
        subprocess.run([os.environ.get("STRIP", "strip"), "-o", str(stripped), exe], check=True)
        cls.unsigned = stripped.read_bytes()
        for name in ("certificate", "other-authority"):
            subprocess.run([str(REPO / "scripts/test-certificate"), str(cls.work / name)],
                           check=True, capture_output=True)
        cls.certificate = cls.work / "certificate"
        cls.password = (cls.certificate / "signer-password").read_text()

    def fresh_copy(self, name) -> Path:
        copy = self.work / name
        copy.write_bytes(self.unsigned)
        return copy

    def sign(self, exe: Path, **settings) -> subprocess.CompletedProcess:
        env = {k: v for k, v in os.environ.items() if not k.startswith("VELMORA_SIGN_")}
        env.update(SOURCE_DATE_EPOCH=SIGNING_TIME, **settings)
        return subprocess.run([str(REPO / "scripts/sign-authenticode"), str(exe)], env=env,
                              capture_output=True, text=True)

    def signed_copy(self, name) -> Path:
        exe = self.fresh_copy(name)
        result = self.sign(exe, VELMORA_SIGN_PKCS12=str(self.certificate / "signer.p12"),
                           VELMORA_SIGN_PASSWORD_FILE=str(self.certificate / "signer-password"))
        self.assertEqual(result.returncode, 0, result.stderr)
        return exe

    def test_signed_program_verifies_repeats_and_keeps_its_unsigned_bytes(self):
        exe = self.signed_copy("Ostrada.exe")
        result = verify(exe, self.certificate / "ca.pem")
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        for line in ("Message digest algorithm  : SHA256",
                     "Signing time: Nov 14 22:13:20 2023 GMT",
                     "Subject: /CN=Velmora Test Publisher/O=Velmora",
                     "Text description: Velmora Connector", "Signature verification: ok"):
            self.assertIn(line, result.stdout)

        by_environment = self.fresh_copy("by-environment.exe")
        result = self.sign(by_environment, VELMORA_SIGN_PKCS12=str(self.certificate / "signer.p12"),
                           VELMORA_SIGN_PASSWORD=self.password)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(by_environment.read_bytes(), exe.read_bytes())
        self.assertEqual(self.signed_copy("again.exe").read_bytes(), exe.read_bytes())

        self.assertEqual(len(self.unsigned) % 8, 0)
        removed = self.work / "signature-removed.exe"
        subprocess.run(["osslsigncode", "remove-signature", "-in", str(exe), "-out", str(removed)],
                       check=True, capture_output=True)
        self.assertEqual(removed.read_bytes(), self.unsigned)

    def test_a_changed_byte_or_another_authority_fails_the_verification(self):
        signed = self.signed_copy("signed.exe").read_bytes()
        middle = len(self.unsigned) // 2  # inside the program's code or data
        cases = [
            ("a byte of the program", middle, "ca.pem"),
            ("a byte of the signature", len(signed) - 200, "ca.pem"),
            ("another authority", None, "../other-authority/ca.pem"),
        ]
        for name, offset, authority in cases:
            with self.subTest(name):
                exe = self.work / "changed.exe"
                data = bytearray(signed)
                if offset is not None:
                    data[offset] ^= 0x01
                exe.write_bytes(bytes(data))
                result = verify(exe, self.certificate / authority)
                self.assertNotEqual(result.returncode, 0, result.stdout)
                self.assertNotIn("Signature verification: ok", result.stdout)

    def test_a_key_on_a_pkcs11_token_signs_and_a_wrong_pin_stops(self):
        token = self.work / "token"
        (token / "objects").mkdir(parents=True)
        (token / "softhsm2.conf").write_text(f"directories.tokendir = {token}/objects\n"
                                             "objectstore.backend = file\nlog.level = ERROR\n")
        env = dict(os.environ, SOFTHSM2_CONF=str(token / "softhsm2.conf"))
        key = token / "signer.p8"
        for command in (
                ["softhsm2-util", "--init-token", "--free", "--label", "velmora", "--pin", "1234",
                 "--so-pin", "4321"],
                ["openssl", "pkcs8", "-topk8", "-nocrypt", "-in",
                 str(self.certificate / "signer.key"), "-out", str(key)],
                ["softhsm2-util", "--import", str(key), "--token", "velmora", "--label", "signer",
                 "--id", "01", "--pin", "1234"]):
            subprocess.run(command, env=env, check=True, capture_output=True)
        token_settings = dict(
            SOFTHSM2_CONF=env["SOFTHSM2_CONF"], VELMORA_SIGN_PKCS11_MODULE=SOFTHSM_MODULE,
            VELMORA_SIGN_PKCS11_KEY="pkcs11:token=velmora;object=signer;type=private",
            VELMORA_SIGN_CERT=str(self.certificate / "signer.pem"))
        exe = self.fresh_copy("by-token.exe")
        result = self.sign(exe, VELMORA_SIGN_PASSWORD="1234", **token_settings)
        self.assertEqual(result.returncode, 0, result.stderr)
        result = verify(exe, self.certificate / "ca.pem")
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn("Signature verification: ok", result.stdout)

        exe = self.fresh_copy("refused.exe")
        result = self.sign(exe, VELMORA_SIGN_PASSWORD="9999", **token_settings)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("signing", result.stderr)
        self.assertEqual(exe.read_bytes(), self.unsigned)

    def test_time_stamp_comes_from_the_server_named(self):
        """The time-stamp verifies against its authority; it is the server's own answer, so two
        time-stamped signings differ."""
        server = TimeStampServer(self.certificate)
        self.addCleanup(server.server_close)
        self.addCleanup(server.shutdown)
        signed = []
        for name in ("stamped.exe", "stamped-again.exe"):
            exe = self.fresh_copy(name)
            result = self.sign(exe, VELMORA_SIGN_PKCS12=str(self.certificate / "signer.p12"),
                               VELMORA_SIGN_PASSWORD_FILE=str(self.certificate / "signer-password"),
                               VELMORA_SIGN_TIMESTAMP_URL=server.url)
            self.assertEqual(result.returncode, 0, result.stderr)
            signed.append(exe.read_bytes())
        result = verify(exe, self.certificate / "ca.pem", "-TSA-CAfile",
                        str(self.certificate / "ca.pem"))
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn("Timestamp Server Signature verification: ok", result.stdout)
        self.assertIn("Signature verification: ok", result.stdout)
        self.assertNotEqual(signed[0], signed[1])

    def test_signing_stops_without_the_right_certificate_or_password(self):
        p12 = str(self.certificate / "signer.p12")
        cases = [
            ("a wrong password", dict(VELMORA_SIGN_PKCS12=p12, VELMORA_SIGN_PASSWORD="wrong"),
             "signing"),
            ("no password", dict(VELMORA_SIGN_PKCS12=p12), "signing"),
            ("a missing password file", dict(VELMORA_SIGN_PKCS12=p12,
                                             VELMORA_SIGN_PASSWORD_FILE=str(self.work / "none")),
             "no password file"),
            ("a missing certificate file", dict(VELMORA_SIGN_PKCS12=str(self.work / "none.p12")),
             "no certificate file"),
            ("no certificate", {}, "no certificate"),
            ("a token without its key", dict(VELMORA_SIGN_PKCS11_MODULE="/none/module.so"),
             "VELMORA_SIGN_PKCS11_KEY"),
        ]
        for name, settings, message in cases:
            with self.subTest(name):
                exe = self.fresh_copy("refused.exe")
                result = self.sign(exe, **settings)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn(message, result.stderr)
                self.assertEqual(exe.read_bytes(), self.unsigned)
                self.assertEqual(sorted(p.name for p in self.work.glob("refused.exe*")),
                                 ["refused.exe"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
