"""Subscriber accounts of the stand-in account server: the accounts file, the account query
as the program sends it, and the "|"-separated answer a provider gives to it."""

import re
from dataclasses import dataclass
from typing import Optional

# The program sends its query, and decodes the answer, in the Windows ANSI code page.
ANSI = "cp1251"
FIELD_COUNT = 13
# Error codes in the answer's first field; the other twelve fields are then empty.
ERR_BAD_CREDENTIALS = "1"
ERR_BAD_QUERY = "2"
UPDATE_CODE = "3"


@dataclass(frozen=True)
class Account:
    login: str
    password: str
    answer: str  # sent verbatim: normally 13 fields joined by "|"


@dataclass(frozen=True)
class Query:
    user: str
    password: str
    ver: Optional[int]  # None when "ver" is not a decimal number


class AccountsFileError(ValueError):
    pass


def load_accounts(path):
    """Reads "login|password|answer" lines (UTF-8). Blank lines and lines starting with "#"
    are skipped; the answer is the rest of the line after the second "|", taken verbatim."""
    accounts = {}
    try:
        with open(path, encoding="utf-8-sig", newline="") as f:
            lines = f.read().splitlines()
    except (OSError, UnicodeDecodeError) as e:
        raise AccountsFileError(f"{path}: {e}") from e
    for number, line in enumerate(lines, 1):
        if not line.strip() or line.startswith("#"):
            continue
        parts = line.split("|", 2)
        if len(parts) < 3 or not parts[0]:
            raise AccountsFileError(f"{path}:{number}: expected login|password|answer")
        login, password, answer = parts
        if login in accounts:
            raise AccountsFileError(f"{path}:{number}: login {login!r} appears twice")
        accounts[login] = Account(login, password, answer)
    return accounts


def decode_value(value: str) -> str:
    """A query value as a PHP server reads it: "%XX" is that byte of the ANSI code page and
    "+" a blank. The program encodes "%", "+", "&", "#", blanks and control bytes; other bytes
    come as they are."""
    value = value.replace("+", " ")
    return re.sub(r"%([0-9A-Fa-f]{2})",
                  lambda m: bytes([int(m.group(1), 16)]).decode(ANSI, errors="replace"), value)


def parse_query(query: str) -> Optional[Query]:
    """Splits "user=L&pass=P&ver=N" and decodes login and password (decode_value). They come
    always in this order, and an older program sent them unencoded, so a password may hold
    "&": it runs up to the last "&ver="."""
    if not query.startswith("user="):
        return None
    rest = query[len("user="):]
    at_pass = rest.find("&pass=")
    if at_pass < 0:
        return None
    user, rest = rest[:at_pass], rest[at_pass + len("&pass="):]
    at_ver = rest.rfind("&ver=")
    if at_ver < 0:
        return None
    password, ver_text = rest[:at_ver], rest[at_ver + len("&ver="):]
    ver = int(ver_text) if ver_text.isascii() and ver_text.isdigit() else None
    return Query(decode_value(user), decode_value(password), ver)


def error_answer(code: str) -> str:
    return code + "|" * (FIELD_COUNT - 1)


def answer_query(accounts, query_text: str, update_url: Optional[str] = None,
                 update_below: Optional[int] = None) -> str:
    """The answer text for one query. With update_url set, an authenticated subscriber is
    told about the new version ("3|" and the address), unless the program already sends a
    version number of at least update_below."""
    query = parse_query(query_text)
    if query is None:
        return error_answer(ERR_BAD_QUERY)
    account = accounts.get(query.user)
    if account is None or account.password != query.password:
        return error_answer(ERR_BAD_CREDENTIALS)
    if update_url and (update_below is None or (query.ver is not None and query.ver < update_below)):
        return f"{UPDATE_CODE}|{update_url}"
    return account.answer
