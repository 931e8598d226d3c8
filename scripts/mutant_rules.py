"""Faults drawn by rule: every place in the C++ sources under src/ where a rule applies is a
site, and a seed draws sites uniformly. scripts/mutants turns each draw into a fault of its list.

Rules (one change per site):
  comparison  < <=, > >=, == != (each into the other)
  constant    an integer literal one up or one down
  jump        a return, break or continue statement removed
  guard       an if without else whose body ends in a return, break or continue, removed whole
  logic       && into ||, || into &&
  arguments   two neighbouring arguments of a call swapped

Left out: comments, string and character literals, preprocessor lines, the numbers in rows of
data tables (four or more bare literals in braces: glyph bitmaps are data), the two main.cpp files
(only the programs link them, no test program does), std::min and std::max (swapping their
arguments changes nothing), and the bodies of unbraced ifs as jump sites (the guard rule covers
them). '<' and '>' count as comparisons only with a space on both sides and '&&' as a logical
and only so: the sources write binary operators that way, templates and references not.
"""

import random
import re
import subprocess
from functools import lru_cache
from pathlib import Path

SOURCE_SUFFIXES = (".cpp", ".h", ".inc")
SKIPPED_FILES = {"src/cli/main.cpp", "src/gui/app/main.cpp"}

LAYERS = (("src/engine/", "engine"), ("src/gui/", "window"), ("src/cli/", "cli"),
          ("src/python/", "python"))

OPERATORS = sorted("""
>>= <<= <=> ->* ... :: -> ++ -- << >> <= >= == != && || += -= *= /= %= &= |= ^= .*
""".split(), key=len, reverse=True)

NOT_CALLS = {"if", "for", "while", "switch", "return", "sizeof", "alignof", "decltype", "catch",
             "static_cast", "dynamic_cast", "const_cast", "reinterpret_cast", "noexcept",
             "alignas", "static_assert", "operator", "defined", "typeid", "throw", "min", "max"}

COMPARISON = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
JUMPS = {"return", "break", "continue"}


def layer_of(path):
    for prefix, name in LAYERS:
        if path.startswith(prefix):
            return name
    return "other"


class Token:
    __slots__ = ("kind", "text", "start", "end")

    def __init__(self, kind, text, start, end):
        self.kind, self.text, self.start, self.end = kind, text, start, end


IDENT = re.compile(r"[A-Za-z_]\w*")
NUMBER = re.compile(r"(?:0[xX][0-9A-Fa-f']+|0[bB][01']+|\d[\d']*)(?:\.[\d']*)?"
                    r"(?:(?<![xX][0-9A-Fa-f'])[eE][+-]?\d+|[pP][+-]?\d+)?[A-Za-z_]*|\.\d[\d']*"
                    r"(?:[eE][+-]?\d+)?[A-Za-z_]*")
RAW_STRING = re.compile(r'(?:u8|[uUL])?R"([^()\\ ]{0,16})\(')


@lru_cache(maxsize=None)
def predefined():
    """The compiler's predefined macros: code under an #if that is false here is never built."""
    try:
        out = subprocess.run(["g++", "-std=c++17", "-dM", "-E", "-x", "c++", "/dev/null"],
                             capture_output=True, text=True, check=True).stdout
    except (OSError, subprocess.CalledProcessError):
        return {}
    found = re.findall(r"^#define (\w+)(?: (.*))?$", out, re.M)
    return {name: (value or "1").strip() for name, value in found}


def condition_holds(expr):
    """An #if expression evaluated against the predefined macros (any other name is 0, as for
    the preprocessor); true when it cannot be read."""
    macros = predefined()
    expr = re.sub(r"//.*|/\*.*?\*/", "", expr)
    expr = re.sub(r"defined\s*\(?\s*(\w+)\s*\)?",
                  lambda m: "1" if m.group(1) in macros else "0", expr)

    def value(m):
        v = macros.get(m.group(0), "0")
        return v if re.fullmatch(r"\d+[uUlL]*", v) else "0"

    expr = re.sub(r"[A-Za-z_]\w*", value, expr)
    expr = re.sub(r"(\d+)[uUlL]+", r"\1", expr)
    expr = expr.replace("&&", " and ").replace("||", " or ")
    expr = re.sub(r"!(?!=)", " not ", expr)
    try:
        return bool(eval(expr, {"__builtins__": {}}))  # only digits and operators are left
    except Exception:
        return True


def directive(line, stack):
    """Follows #if/#ifdef/#ifndef/#elif/#else/#endif; stack holds (active, taken) per level."""
    m = re.match(r"\s*#\s*(\w+)\s*(.*)", line, re.S)
    if not m:
        return
    word, rest = m.group(1), m.group(2).replace("\\\n", " ")
    outer = all(active for active, _ in stack)
    if word in ("if", "ifdef", "ifndef"):
        if word == "if":
            holds = condition_holds(rest)
        else:
            holds = (rest.split()[0] in predefined()) == (word == "ifdef") if rest.split() else True
        stack.append((outer and holds, holds))
    elif word == "elif" and stack:
        _, taken = stack.pop()
        outer = all(active for active, _ in stack)
        holds = not taken and condition_holds(rest)
        stack.append((outer and holds, taken or holds))
    elif word == "else" and stack:
        _, taken = stack.pop()
        outer = all(active for active, _ in stack)
        stack.append((outer and not taken, True))
    elif word == "endif" and stack:
        stack.pop()


def tokenize(text):
    """Code tokens of a C++ file as this compiler builds it; comments, literals' insides,
    preprocessor lines and the branches of an #if that are false here are skipped (string and
    character literals come back as one token of kind 'string')."""
    tokens, i, n = [], 0, len(text)
    line_start = True
    stack = []
    while i < n:
        if stack and not all(active for active, _ in stack):
            # Inside a branch that is not built: only directives matter.
            end = text.find("\n", i)
            end = n if end < 0 else end
            if re.match(r"\s*#", text[i:end]):
                start = i
                while end < n and text[end - 1] == "\\":
                    nl = text.find("\n", end + 1)
                    end = n if nl < 0 else nl
                directive(text[start:end], stack)
            i = end + 1
            line_start = True
            continue
        c = text[i]
        if c == "\n":
            line_start = True
            i += 1
            continue
        if c in " \t\r\f\v":
            i += 1
            continue
        if line_start and c == "#":
            # A directive runs to the end of the line, continuations included.
            start = i
            while i < n and text[i] != "\n":
                if text[i] == "\\" and i + 1 < n and text[i + 1] == "\n":
                    i += 2
                    continue
                if text.startswith("/*", i):
                    close = text.find("*/", i + 2)
                    i = n if close < 0 else close + 2
                    continue
                i += 1
            directive(text[start:i], stack)
            continue
        line_start = False
        if text.startswith("//", i):
            close = text.find("\n", i)
            i = n if close < 0 else close
            continue
        if text.startswith("/*", i):
            close = text.find("*/", i + 2)
            i = n if close < 0 else close + 2
            continue
        raw = RAW_STRING.match(text, i)
        if raw:
            close = text.find(")" + raw.group(1) + '"', raw.end())
            end = n if close < 0 else close + len(raw.group(1)) + 2
            tokens.append(Token("string", text[i:end], i, end))
            i = end
            continue
        prefix = re.match(r'(?:u8|[uUL])?(["\'])', text[i:i + 3])
        if prefix and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            quote = prefix.group(1)
            j = i + prefix.end()
            while j < n and text[j] != quote and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            end = min(j + 1, n)
            tokens.append(Token("string", text[i:end], i, end))
            i = end
            continue
        if c.isdigit() or (c == "." and i + 1 < n and text[i + 1].isdigit()):
            m = NUMBER.match(text, i)
            tokens.append(Token("number", m.group(0), i, m.end()))
            i = m.end()
            continue
        m = IDENT.match(text, i)
        if m:
            tokens.append(Token("ident", m.group(0), i, m.end()))
            i = m.end()
            continue
        for op in OPERATORS:
            if text.startswith(op, i):
                break
        else:
            op = c
        tokens.append(Token("op", op, i, i + len(op)))
        i += len(op)
    return tokens


def integer_value(literal):
    """(value, base, prefix, digits case, suffix) of an integer literal, or None for any other
    number."""
    m = re.fullmatch(r"(0[xX])([0-9A-Fa-f']+)([uUlL]*)", literal)
    if m:
        digits = m.group(2).replace("'", "")
        upper = any(ch in "ABCDEF" for ch in digits)
        return int(digits, 16), 16, m.group(1), (upper, len(digits)), m.group(3)
    m = re.fullmatch(r"([0-9][0-9']*)([uUlL]*)", literal)
    if m:
        digits = m.group(1).replace("'", "")
        if len(digits) > 1 and digits.startswith("0"):
            return None  # octal: rare, and easy to spell wrong
        return int(digits), 10, "", False, m.group(2)
    return None


def spell(value, base, prefix, style, suffix):
    if base == 16:
        upper, width = style
        return prefix + format(value, f"0{width}{'X' if upper else 'x'}") + suffix
    return str(value) + suffix


def matching(tokens, k):
    """Index of the bracket closing tokens[k], or None."""
    pairs = {"(": ")", "[": "]", "{": "}"}
    stack = []
    for j in range(k, len(tokens)):
        t = tokens[j].text
        if t in pairs:
            stack.append(pairs[t])
        elif t in (")", "]", "}"):
            if not stack or stack.pop() != t:
                return None
            if not stack:
                return j
    return None


def statement_end(tokens, k):
    """Index of the ';' ending the statement that starts at k, or None."""
    depth = 0
    for j in range(k, len(tokens)):
        t = tokens[j].text
        if t in ("(", "[", "{"):
            depth += 1
        elif t in (")", "]", "}"):
            depth -= 1
            if depth < 0:
                return None
        elif t == ";" and depth == 0:
            return j
    return None


class Site:
    """One change: the text from start to end becomes replacement."""
    __slots__ = ("path", "rule", "start", "end", "replacement", "what", "choices")

    def __init__(self, path, rule, start, end, replacement, what, choices=None):
        self.path, self.rule, self.start, self.end = path, rule, start, end
        self.replacement, self.what = replacement, what
        self.choices = choices  # alternatives drawn at random (constants: up or down)


def short(text, width=60):
    text = " ".join(text.split())
    return text if len(text) <= width else text[:width - 3] + "..."


def guard_body(tokens, k):
    """For an `if` at k that is a guard clause: the index of the body's last token."""
    if k + 1 >= len(tokens) or tokens[k + 1].text != "(":
        return None
    close = matching(tokens, k + 1)
    if close is None or close + 1 >= len(tokens):
        return None
    body = close + 1
    if tokens[body].text == "{":
        end = matching(tokens, body)
        if end is None or end - 1 <= body or tokens[end - 1].text != ";":
            return None
        # The block's last statement must be a jump: walk back to its start.
        j = end - 2
        depth = 0
        while j > body:
            t = tokens[j].text
            if t in (")", "]", "}"):
                depth += 1
            elif t in ("(", "[", "{"):
                depth -= 1
            elif depth == 0 and t == ";":
                break
            j -= 1
        if tokens[j + 1].text not in JUMPS:
            return None
    elif tokens[body].text in JUMPS:
        end = statement_end(tokens, body)
        if end is None:
            return None
    else:
        return None
    if end + 1 < len(tokens) and tokens[end + 1].text == "else":
        return None
    return end


def table_cells(tokens):
    """Indices of the numbers in rows of data tables: braces holding four or more bare
    literals and nothing else (glyph bitmaps and the like are data, not a function)."""
    cells = set()
    for k, tok in enumerate(tokens):
        if tok.text != "{":
            continue
        items, j = [], k + 1
        while j < len(tokens) and tokens[j].text != "}":
            item = []
            while j < len(tokens) and tokens[j].text not in (",", "}"):
                item.append(j)
                j += 1
            items.append(item)
            if j < len(tokens) and tokens[j].text == ",":
                j += 1
        literal = all(
            item and all(tokens[i].kind in ("number", "string") or tokens[i].text == "-"
                         for i in item) for item in items)
        if literal and len(items) >= 4:
            cells.update(i for item in items for i in item if tokens[i].kind == "number")
    return cells


def sites_in(path, text):
    tokens = tokenize(text)
    out = []
    guarded_jumps = set()
    cells = table_cells(tokens)
    for k, tok in enumerate(tokens):
        prev = tokens[k - 1] if k else None
        nxt = tokens[k + 1] if k + 1 < len(tokens) else None
        if tok.kind == "op" and tok.text in COMPARISON:
            if prev and prev.text == "operator":
                continue
            if tok.text in ("<", ">") and not (
                    text[tok.start - 1:tok.start].isspace() and text[tok.end:tok.end + 1].isspace()):
                continue
            new = COMPARISON[tok.text]
            out.append(Site(path, "comparison", tok.start, tok.end, new,
                            f"`{tok.text}` into `{new}`"))
        elif tok.kind == "op" and tok.text in ("&&", "||"):
            if tok.text == "&&" and not (
                    text[tok.start - 1:tok.start].isspace() and text[tok.end:tok.end + 1].isspace()):
                continue
            new = "||" if tok.text == "&&" else "&&"
            out.append(Site(path, "logic", tok.start, tok.end, new, f"`{tok.text}` into `{new}`"))
        elif tok.kind == "number" and k not in cells:
            parts = integer_value(tok.text)
            if parts is None:
                continue
            value = parts[0]
            choices = [value + 1] if value == 0 else [value - 1, value + 1]
            spelled = [spell(v, *parts[1:]) for v in choices]
            out.append(Site(path, "constant", tok.start, tok.end, None,
                            f"`{tok.text}` into `{{}}`", spelled))
        elif tok.kind == "ident" and tok.text == "if":
            if prev and prev.text not in (";", "{", "}"):
                continue
            end = guard_body(tokens, k)
            if end is None:
                continue
            if tokens[k + 1].text == "(":
                close = matching(tokens, k + 1)
                if close is not None and tokens[close + 1].text in JUMPS:
                    guarded_jumps.add(close + 1)
            cond = text[tokens[k + 1].start:tokens[matching(tokens, k + 1)].end]
            out.append(Site(path, "guard", tok.start, tokens[end].end, "",
                            f"`if {short(cond, 50)} ...` removed"))
        elif tok.kind == "ident" and tok.text in JUMPS:
            if k in guarded_jumps:
                continue
            end = statement_end(tokens, k)
            if end is None:
                continue
            body_of_control = prev is not None and prev.text in (")", "else", "do")
            out.append(Site(path, "jump", tok.start, tokens[end].end,
                            "{}" if body_of_control else "",
                            f"`{short(text[tok.start:tokens[end].end])}` removed"))
        elif (tok.kind == "ident" and nxt is not None and nxt.text == "("
              and tok.text not in NOT_CALLS):
            out.extend(argument_swaps(path, text, tokens, k + 1, tok.text))
    return out


def argument_swaps(path, text, tokens, open_k, name):
    close = matching(tokens, open_k)
    if close is None:
        return []
    args, first, depth = [], open_k + 1, 0
    for j in range(open_k + 1, close + 1):
        t = tokens[j].text
        if t in ("(", "[", "{"):
            depth += 1
        elif t in (")", "]", "}") and j != close:
            depth -= 1
        elif (t == "," and depth == 0) or j == close:
            if j == first:
                return []
            args.append((first, j - 1))
            first = j + 1
    if len(args) < 2:
        return []
    for a, b in args:
        # Two words in a row make a declaration (`int x`), not an expression.
        for j in range(a, b):
            if (tokens[j].kind == "ident" and tokens[j + 1].kind == "ident"
                    and tokens[j].text not in ("new", "delete", "return")):
                return []
    out = []
    for (a1, b1), (a2, b2) in zip(args, args[1:]):
        left = text[tokens[a1].start:tokens[b1].end]
        right = text[tokens[a2].start:tokens[b2].end]
        if left == right:
            continue
        between = text[tokens[b1].end:tokens[a2].start]
        out.append(Site(path, "arguments", tokens[a1].start, tokens[b2].end,
                        right + between + left,
                        f"`{short(left, 30)}` and `{short(right, 30)}` swapped in {name}()"))
    return out


def source_files(tree):
    root = Path(tree)
    for p in sorted((root / "src").rglob("*")):
        rel = p.relative_to(root).as_posix()
        if p.is_file() and p.suffix in SOURCE_SUFFIXES and rel not in SKIPPED_FILES:
            yield rel, p.read_text()


def all_sites(tree):
    sites = []
    for rel, text in source_files(tree):
        sites.extend(sites_in(rel, text))
    return sites


def line_change(text, site, replacement):
    """(first line number, old lines, new lines) for the smallest run of whole lines that holds
    the change and occurs once in the file."""
    first = text.rfind("\n", 0, site.start) + 1
    last = text.find("\n", site.end)
    last = len(text) if last < 0 else last
    old = text[first:last]
    new = old[:site.start - first] + replacement + old[site.end - first:]
    lines = text.split("\n")
    top = text.count("\n", 0, first)
    bottom = top + old.count("\n")
    old_lines, new_lines = lines[top:bottom + 1], new.split("\n")
    if not new.strip():
        new_lines = []  # the whole lines go
    up = True
    while text.count("\n".join(old_lines)) != 1:
        if (up and top > 0) or bottom + 1 >= len(lines):
            top -= 1
            old_lines.insert(0, lines[top])
            new_lines.insert(0, lines[top])
        else:
            bottom += 1
            old_lines.append(lines[bottom])
            new_lines.append(lines[bottom])
        up = not up
    line_no = text.count("\n", 0, site.start) + 1
    return line_no, old_lines, new_lines


def draw(tree, seed):
    """Every site of the tree in the order the seed draws them (uniform, without repeats), each
    as (ident suffix, site, path, line, description, old lines, new lines), lazily."""
    sites = all_sites(tree)
    rng = random.Random(seed)
    order = list(range(len(sites)))
    rng.shuffle(order)
    texts = {}
    for n, index in enumerate(order, 1):
        site = sites[index]
        if site.path not in texts:
            texts[site.path] = (Path(tree) / site.path).read_text()
        text = texts[site.path]
        replacement, what = site.replacement, site.what
        if site.choices:
            replacement = rng.choice(site.choices)
            what = what.format(replacement)
        line_no, old, new = line_change(text, site, replacement)
        yield n, site, line_no, f"{site.rule}: {what} at {site.path}:{line_no}", old, new


def census(tree):
    """Sites per layer and rule."""
    counts = {}
    for s in all_sites(tree):
        key = (layer_of(s.path), s.rule)
        counts[key] = counts.get(key, 0) + 1
    return counts
