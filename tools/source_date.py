#!/usr/bin/env python3
"""The time stamp that the Windows builds link into the executables of a
release, so that every build of one commit gives the same bytes.

It is SOURCE_DATE_EPOCH when the build's environment sets it; otherwise the
time of the last commit when the source folder is a git checkout; otherwise
the commit's time that git archive wrote into tools/commit_time.txt when it
made a source archive. A folder that is none of these (a copy without its
.git) has no time of its own: the build stops and asks for SOURCE_DATE_EPOCH
rather than stamp a guess that no rebuild would match.

Usage: tools/source_date.py SOURCE_DIR FILE         write the time to FILE,
                                                    unless FILE holds it
       tools/source_date.py --link FILE COMMAND...  run COMMAND, a link,
                                                    with SOURCE_DATE_EPOCH
                                                    from FILE, which GNU ld
                                                    stamps into the image
"""
import os
import re
import subprocess
import sys

ARCHIVE_FILE = os.path.join('tools', 'commit_time.txt')
LARGEST = 0xFFFFFFFF  # the PE header's time stamp has 32 bits


class NoTime(Exception):
    pass


def checked(text, origin):
    if not re.fullmatch(r'[0-9]+', text) or int(text) > LARGEST:
        raise NoTime(f'{origin} is "{text}", not a time: seconds since 1970, at most {LARGEST}')
    return int(text)


def git(source, *arguments):
    # The build runs this folder's own code anyway, so git need not refuse
    # it for belonging to another user (as CI checkouts often do).
    safe = f'safe.directory={os.path.realpath(source)}'
    return subprocess.run(['git', '-c', safe, '-C', source, *arguments], capture_output=True,
                          text=True, check=True).stdout.strip()


def commit_time(source):
    """The last commit's time when source is the top of a git checkout (not
    a folder inside another project's checkout), else None and why not."""
    try:
        if os.path.realpath(git(source, 'rev-parse', '--show-toplevel')) != os.path.realpath(source):
            return None, 'its git checkout is another folder\'s'
        return checked(git(source, 'log', '-1', '--format=%ct'), 'the last commit\'s time'), None
    except OSError as e:
        return None, f'git cannot run: {e.strerror}'
    except subprocess.CalledProcessError as e:
        return None, f'git says: {e.stderr.strip()}'


def archive_time(source):
    """The time git archive wrote in place of the file's placeholder, or None
    in a checkout, where the placeholder stands as it is."""
    path = os.path.join(source, ARCHIVE_FILE)
    try:
        with open(path, encoding='ascii') as f:
            last = f.read().split()[-1]
    except (OSError, IndexError, UnicodeDecodeError):
        return None
    return checked(last, path) if last.isdigit() else None


def source_date(source):
    given = os.environ.get('SOURCE_DATE_EPOCH')
    if given is not None:
        return checked(given, 'SOURCE_DATE_EPOCH')
    time, why_not = commit_time(source)
    if time is None:
        time = archive_time(source)
    if time is None:
        raise NoTime(f'{source} is neither a git checkout ({why_not}) nor a source archive made by '
                     'git archive: set SOURCE_DATE_EPOCH to the time to stamp, in seconds since 1970')
    return time


def main(argv):
    if len(argv) > 3 and argv[1] == '--link':
        with open(argv[2], encoding='ascii') as f:
            os.environ['SOURCE_DATE_EPOCH'] = f.read().strip()
        os.execvp(argv[3], argv[3:])
    if len(argv) != 3 or argv[1].startswith('-'):
        sys.stderr.write(__doc__)
        return 2
    source, path = argv[1:]
    try:
        text = f'{source_date(source)}\n'
    except NoTime as e:
        print(f'source_date: {e}', file=sys.stderr)
        return 1
    try:
        with open(path, encoding='ascii') as f:
            if f.read() == text:
                return 0
    except OSError:
        pass
    with open(path, 'w', encoding='ascii') as f:
        f.write(text)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
