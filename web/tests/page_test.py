#!/usr/bin/env python3
"""The page in a real browser, against the native program.

Each case of the table opens kapolex.html from file:// in headless Chromium
with the network off, and acts as a user does: it sets the file input,
fills the fields, clicks Convert, waits for the status, and downloads every
file the page offers. It runs the native kapolex on the same log with the
same arguments in a folder of its own, and compares the two byte for byte:
every file (the run's date and time on the observation file's second header
line aside, which the test checks against the browser's local clock), the
console text, the diagnostics and the exit status. The command_lines case
does the same through the script API for command lines the form never
makes; the large_log case also proves that the page answers clicks and
shows rising progress while it converts, and records its speed and heap.
A run that writes several files is also downloaded through Download all:
the zip must pass `unzip -t` and hold the native program's files. The
options_form case checks that the form offers every option of the
program's --help with its help text, or lists it as not offered;
usage_errors that each usage error marks its option's field; states the
page's states as a user goes through them.

Run by CTest in the web preset (see web/CMakeLists.txt); exits with 77,
saying why, when the browser or Selenium is missing.
"""

import argparse
import base64
import gzip
import hashlib
import json
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass

SKIP = 77

# The folder in which the page runs the program (web/program_run.js); the
# diagnostics name it where the native program names its own folder.
PAGE_FOLDER = '/files'

# A zone far from UTC, with a quarter-hour offset, so that the run's date in
# the header can only match when it is the browser's local time.
BROWSER_ZONE = 'Asia/Kathmandu'
BROWSER_ZONE_OFFSET_MINUTES = -345  # as Date.getTimezoneOffset() gives it

PAGE_BUDGET_BYTES = 700 * 1000
HEAP_BUDGET_BYTES = 64 << 20
WAIT_SECONDS = 600


def qc_args(stem):
    return ['--qc', stem + '.qc.txt', '--qc-json', stem + '.qc.json', '--plot', stem + '.svg']


@dataclass
class Case:
    """A conversion made through the form: the log, the fields as a user
    fills them, and the command line the native program gets for them."""
    log: str                 # a key of LOGS
    form: dict               # element id -> text (a select's value), or bool for a checkbox
    native_args: list
    usage_error_field: str = None  # the field a usage error is shown next to


# The logs: the sample, or zlogsim's arguments for one made here.
LOGS = {
    'z.log': None,
    'damaged.log': ['-d', '600', '--garbage', '0.02', '--corrupt', '0.02', '--other', '1',
                    '--slips', '3', '--lock-loss', '3', '--seed', '7'],
    'truncated.log': ['-d', '120', '--truncate', '--seed', '3'],
    # A day from GPS midnight, an epoch every 5 s: 24 files split by hour.
    'day.log': ['-d', '86400', '-r', '0.2', '--sow', '172800', '--seed', '5'],
    # Long enough to be cancelled while it converts.
    'cancelled.log': ['--size', '128M', '--seed', '2'],
    # KAPOLEX_LARGE_LOG_SIZE measures another size, such as 1G.
    'large.log': ['--size', os.environ.get('KAPOLEX_LARGE_LOG_SIZE', '256M'), '--seed', '1',
                  '--week', '1356'],
}

EVERY_OPTION_FORM = {
    'date': '2006-01-04', 'interval': '1', 'snr': True, 'qc': True,
    'marker-name': 'PILLAR 7', 'marker-number': '10402M001', 'observer': 'A. Surveyor',
    'agency': 'Field Office', 'run-by': 'Crew 3', 'receiver-number': 'RX-0042',
    'antenna-number': 'ANT-77', 'antenna-type': 'CHOKE RING',
    'position': '4027894.012,307045.600,4919474.910', 'antenna-delta': '1.5,0.01,-0.02',
}
EVERY_OPTION_ARGS = [
    '--date', '2006-01-04', '--interval', '1', '--marker-name', 'PILLAR 7',
    '--marker-number', '10402M001', '--observer', 'A. Surveyor', '--agency', 'Field Office',
    '--run-by', 'Crew 3', '--receiver-number', 'RX-0042', '--antenna-number', 'ANT-77',
    '--antenna-type', 'CHOKE RING', '--position', '4027894.012,307045.600,4919474.910',
    '--antenna-delta', '1.5,0.01,-0.02', '--snr'] + qc_args('z') + ['--', 'z.log']

FORM_CASES = {
    'sample': Case('z.log', {'week': '1356', 'qc': True},
                   ['--week', '1356'] + qc_args('z') + ['--', 'z.log']),
    'every_option': Case('z.log', EVERY_OPTION_FORM, EVERY_OPTION_ARGS),
    'damaged': Case('damaged.log', {'week': '1356', 'qc': True},
                    ['--week', '1356'] + qc_args('damaged') + ['--', 'damaged.log']),
    'stopped': Case('truncated.log', {'week': '1356', 'qc': True},
                    ['--week', '1356'] + qc_args('truncated') + ['--', 'truncated.log']),
    'usage_error': Case('z.log', {'week': '1356', 'interval': '0', 'qc': False},
                        ['--week', '1356', '--interval', '0', '--', 'z.log'],
                        usage_error_field='interval'),
    'large_log': Case('large.log', {'week': '1356', 'qc': True},
                      ['--week', '1356'] + qc_args('large') + ['--', 'large.log']),
    # The fields of --rinex-version, --start/--end, --split, --standard-name,
    # --station and --no-obs, each giving the program's own option.
    'rinex3': Case('z.log', {'week': '1356', 'rinex-version': '3', 'snr': True, 'qc': False},
                   ['--week', '1356', '--rinex-version', '3', '--snr', '--', 'z.log']),
    'window': Case('z.log', {'week': '1356', 'start': '2006-01-04T11:21:00',
                             'end': '2006-01-04 11:23:00', 'qc': True},
                   ['--week', '1356', '--start', '2006-01-04T11:21:00', '--end',
                    '2006-01-04 11:23:00'] + qc_args('z') + ['--', 'z.log']),
    'split_hour': Case('day.log', {'week': '1356', 'split': 'hour', 'marker-name': 'PIL7 north',
                                   'qc': False},
                       ['--week', '1356', '--split', 'hour', '--marker-name', 'PIL7 north', '--',
                        'day.log']),
    'standard_name': Case('z.log', {'date': '2006-01-04', 'rinex-version': '3',
                                    'standard-name': True, 'marker-name': 'PIL7 north',
                                    'qc': True},
                          ['--date', '2006-01-04', '--rinex-version', '3', '--standard-name',
                           '--marker-name', 'PIL7 north'] + qc_args('z') + ['--', 'z.log']),
    'station': Case('day.log', {'week': '1356', 'interval': '30', 'split': 'day',
                                'station': 'AB12', 'rinex-version': '2', 'qc': False},
                    ['--week', '1356', '--interval', '30', '--split', 'day', '--station', 'AB12',
                     '--', 'day.log']),
    'no_obs': Case('z.log', {'week': '1356', 'no-obs': True, 'qc': True},
                   ['--week', '1356', '--no-obs'] + qc_args('z') + ['--', 'z.log']),
    # Compact RINEX written by the core, gzip by the browser: the downloads
    # decompress to the native program's files, named as it names them.
    'crx_gzip': Case('z.log', {'week': '1356', 'rinex-version': '3', 'snr': True, 'crx': True,
                               'gzip': True, 'qc': True},
                     ['--week', '1356', '--rinex-version', '3', '--snr', '--crx', '--gzip']
                     + qc_args('z') + ['--', 'z.log']),
    'crx_split': Case('day.log', {'week': '1356', 'split': 'hour', 'crx': True, 'gzip': True,
                                  'qc': False},
                      ['--week', '1356', '--split', 'hour', '--crx', '--gzip', '--', 'day.log']),
}

# Usage errors made through the form: the fields, the native program's
# command line for them, and the field that must be marked, alone.
USAGE_ERRORS = [
    ({'week': '0'}, ['--week', '0'], 'week'),
    ({'week': '1356', 'date': '2006-01-04'}, ['--week', '1356', '--date', '2006-01-04'], 'date'),
    ({'date': '2006-02-30'}, ['--date', '2006-02-30'], 'date'),
    ({'week': '1356', 'marker-name': 'M' * 61}, ['--week', '1356', '--marker-name', 'M' * 61],
     'marker-name'),
    ({'week': '1356', 'agency': 'Caf\u00e9'}, ['--week', '1356', '--agency', 'Caf\u00e9'], 'agency'),
    ({'week': '1356', 'position': '1,2'}, ['--week', '1356', '--position', '1,2'], 'position'),
    ({'week': '1356', 'start': '2006-01-04T11:23:00', 'end': '2006-01-04T11:21:00'},
     ['--week', '1356', '--start', '2006-01-04T11:23:00', '--end', '2006-01-04T11:21:00'], 'end'),
    ({'week': '1356', 'start': '11:21'}, ['--week', '1356', '--start', '11:21'], 'start'),
    ({'week': '1356', 'station': 'PIL7'}, ['--week', '1356', '--station', 'PIL7'], 'station'),
    ({'week': '1356', 'split': 'hour', 'station': 'a/b1'},
     ['--week', '1356', '--split', 'hour', '--station', 'a/b1'], 'station'),
    ({'week': '1356', 'no-obs': True, 'end': '2006-01-04T11:21:00'},
     ['--week', '1356', '--end', '2006-01-04T11:21:00', '--no-obs'], 'end'),
    ({'week': '1356', 'no-obs': True, 'standard-name': True},
     ['--week', '1356', '--standard-name', '--no-obs'], 'standard-name'),
]

# Element ids that pages and tests use; the form's fields among them are
# made from the option table, so an option renamed in the program shows here.
FORM_IDS = {
    'log': 'input:file', 'week': 'input:text', 'date': 'input:text', 'interval': 'input:text',
    'rinex-version': 'select:2,3', 'start': 'input:text', 'end': 'input:text',
    'split': 'select:,day,hour', 'standard-name': 'input:checkbox', 'station': 'input:text',
    'snr': 'input:checkbox', 'marker-name': 'input:text', 'marker-number': 'input:text',
    'observer': 'input:text', 'agency': 'input:text', 'run-by': 'input:text',
    'receiver-number': 'input:text', 'antenna-number': 'input:text',
    'antenna-type': 'input:text', 'position': 'input:text', 'antenna-delta': 'input:text',
    'crx': 'input:checkbox', 'gzip': 'input:checkbox',
    'qc': 'input:checkbox', 'convert': 'button:', 'cancel': 'button:', 'download-all': 'button:',
    'progress': 'progress:', 'status': 'span:', 'results': 'ul:', 'console': 'pre:',
    'errors': 'pre:', 'plot': 'img:', 'form': 'form:', 'output': 'section:',
    'drop': 'label:', 'log-name': 'span:',
}

# Command lines given to kapolex.convert with the sample as z.log: the
# standard streams, the messages of the option scanner, the file checks.
# The page puts the log on standard input when the program reads it from
# there, and nothing otherwise; the native program gets the same.
LOG_ON_INPUT, NO_INPUT = 'log', None
COMMAND_LINES = [
    (['-w', '1356'], NO_INPUT),
    (['-q', '-w', '1356', '-o', '-'], NO_INPUT),
    (['-w', '1356', '-', '-o', 'piped.obs'], LOG_ON_INPUT),
    (['-q', '-w', '1356', '-'], LOG_ON_INPUT),
    (['-q', '--no-obs', '-w', '1356', '--qc', '-'], NO_INPUT),
    (['z.log', '--inter', '30', '-qw1356', '--snr'], NO_INPUT),
    (['--help'], NO_INPUT),
    (['--version'], NO_INPUT),
    (['--bogus'], NO_INPUT),
    (['--m', 'x', '-w', '1356'], NO_INPUT),
    (['-w'], NO_INPUT),
    (['z.log', '-w'], NO_INPUT),
    (['-qw'], NO_INPUT),
    (['z.log', '--bogus'], NO_INPUT),
    (['--a=1'], NO_INPUT),
    (['-w', '1e3'], NO_INPUT),
    (['--date', '1980-01-05'], NO_INPUT),
    (['--agency', 'Caf\u00e9', '-w', '1356'], NO_INPUT),
    (['--position', '1e9,0,0', '-w', '1356'], NO_INPUT),
    (['--position', 'nan,0,0', '-w', '1356'], NO_INPUT),
    (['-o', '-'], NO_INPUT),
    (['-w', '1', '-', '--qc-json', '-'], LOG_ON_INPUT),
    (['-x', '-w', '1356'], NO_INPUT),
    (['--snr=yes', '-w', '1356'], NO_INPUT),
    (['-w', '1356', '--date', '2006-01-04'], NO_INPUT),
    (['-w', '1356', '-o', 'z.log'], NO_INPUT),
    (['-w', '1356', '--qc', 'same.txt', '--plot', 'same.txt'], NO_INPUT),
    (['-w', '1356', 'z.log', 'other.log'], NO_INPUT),
    (['-w', '1356', 'missing.log'], NO_INPUT),
    (['-w', '1356', '-o', 'no/such/folder/z.obs'], NO_INPUT),
    (['-'], LOG_ON_INPUT),
    ([], NO_INPUT),
    (['-w', '1356', '--rinex-version', '3', '--snr'], NO_INPUT),
    (['-w', '1356', '--start', '2006-01-04T11:21:00', '--end', '2006-01-04 11:23:00'], NO_INPUT),
    (['-w', '1356', '--start', '2006-01-05T00:00:00'], NO_INPUT),
    (['-w', '1356', '--split', 'hour', '--marker-name', 'PIL7 north'], NO_INPUT),
    (['-w', '1356', '--standard-name', '--rinex-version', '3', '--station', 'PIL700DEU'],
     NO_INPUT),
    (['-w', '1356', '--split', 'day', '-o', '-'], NO_INPUT),
    (['-w', '1356', '--split', 'day', '--station', 'a/b1'], NO_INPUT),
]


class Skip(Exception):
    pass


def native_run(program, log_path, log_name, args, folder, stdin_log=False):
    """Runs the native program in a fresh folder that holds the log; returns
    its exit status, standard output and error, and the files it wrote."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    os.symlink(os.path.abspath(log_path), os.path.join(folder, log_name))
    with open(log_path if stdin_log else os.devnull, 'rb') as stdin:
        started = time.monotonic()
        done = subprocess.run([program] + args, cwd=folder, stdin=stdin, capture_output=True)
        seconds = time.monotonic() - started
    files = sorted(name for name in os.listdir(folder) if name != log_name)
    return {'status': done.returncode, 'console': done.stdout.decode(),
            'errors': done.stderr.decode().replace(folder + '/', PAGE_FOLDER + '/'),
            'files': files, 'folder': folder, 'seconds': seconds}


def first_label_is(head, label):
    first = head.split(b'\n', 1)[0]
    return first.rstrip(b'\r').endswith(label)


def is_rinex(head):
    return first_label_is(head, b'RINEX VERSION / TYPE')


# The run's date and time: columns 41 to 60 of a RINEX file's second line
# (PGM / RUN BY / DATE); the program and run-by columns are compared. A
# Compact RINEX file's second line (CRINEX PROG / DATE) has the same
# columns, with the date in UTC, and the RINEX header follows it.
RUN_DATE_COLUMNS = slice(40, 60)


def masked_line(head, start):
    """head with the run-date columns of the line at start blanked out;
    also those columns as they were, and where the next line starts."""
    end = head.index(b'\n', start)
    line = bytearray(head[start:end])
    run_date = bytes(line[RUN_DATE_COLUMNS])
    line[RUN_DATE_COLUMNS] = b'#' * (RUN_DATE_COLUMNS.stop - RUN_DATE_COLUMNS.start)
    return head[:start] + bytes(line) + head[end:], run_date, end + 1


def masked_head(head):
    """The first bytes of a file with the run's date and time blanked out
    when it is a RINEX or Compact RINEX file; also the RINEX header's
    columns as they were."""
    start = 0
    if first_label_is(head, b'CRINEX VERS   / TYPE'):
        head, _, start = masked_line(head, head.index(b'\n') + 1)
    if not is_rinex(head[start:]):
        return head, None
    head, run_date, _ = masked_line(head, head.index(b'\n', start) + 1)
    return head, run_date


def open_output(path):
    """A file the run wrote, decompressed when gzip wrote it."""
    return gzip.open(path, 'rb') if path.endswith('.gz') else open(path, 'rb')


def masked_digest(path):
    """SHA-256 of a file with the run's date and time masked; also those."""
    digest = hashlib.sha256()
    with open_output(path) as f:
        head, run_date = masked_head(f.read(4096))
        digest.update(head)
        for block in iter(lambda: f.read(1 << 20), b''):
            digest.update(block)
    return digest.hexdigest(), run_date


def masked_bytes(data):
    head, _ = masked_head(data[:4096])
    return head + data[4096:]


class Failures:
    def __init__(self):
        self.items = []

    def check(self, ok, what):
        if not ok:
            self.items.append(what)
            print('FAIL:', what)
        return ok

    def equal(self, got, expected, what):
        if got == expected:
            return True
        text = f'{what}:\n  page:   {got!r:.2000}\n  native: {expected!r:.2000}'
        return self.check(False, text)


class Browser:
    """Headless Chromium with the network off, downloads allowed into a
    folder, and the local time zone set apart from UTC."""

    def __init__(self, downloads):
        try:
            from selenium import webdriver
            from selenium.webdriver.chrome.service import Service
        except ImportError as error:
            raise Skip(f'Selenium is not installed for {sys.executable} ({error})')
        chromium = shutil.which('chromium') or shutil.which('chromium-browser')
        driver = shutil.which('chromedriver')
        if not chromium or not driver:
            raise Skip('chromium and chromedriver are needed (Debian: apt-get install chromium '
                       'chromium-driver)')
        self.profile = tempfile.mkdtemp(prefix='kapolex-chromium-')
        options = webdriver.ChromeOptions()
        options.binary_location = chromium
        for argument in ['--headless=new', '--no-sandbox', '--disable-gpu',
                         '--disable-background-networking', '--disable-component-update',
                         '--disable-sync', '--no-first-run', '--window-size=1000,1400',
                         '--user-data-dir=' + self.profile]:
            options.add_argument(argument)
        options.add_experimental_option('prefs', {
            'download.prompt_for_download': False,
            'profile.default_content_setting_values.automatic_downloads': 1,
        })
        options.set_capability('goog:loggingPrefs', {'performance': 'ALL', 'browser': 'ALL'})
        environment = dict(os.environ, TZ=BROWSER_ZONE)
        self.driver = webdriver.Chrome(service=Service(driver, env=environment), options=options)
        self.driver.set_script_timeout(WAIT_SECONDS)
        self.driver.set_network_conditions(offline=True, latency=0, download_throughput=0,
                                           upload_throughput=0)
        self.set_downloads(downloads)

    def set_downloads(self, folder):
        os.makedirs(folder, exist_ok=True)
        self.driver.execute_cdp_cmd('Browser.setDownloadBehavior',
                                    {'behavior': 'allow', 'downloadPath': folder})

    def close(self):
        self.driver.quit()
        shutil.rmtree(self.profile, ignore_errors=True)

    def open(self, page):
        self.requested_urls()  # what the browser asked for before the page is not its
        self.driver.get('file://' + os.path.abspath(page))

    def script(self, code, *args):
        return self.driver.execute_script(code, *args)

    def async_script(self, code, *args):
        return self.driver.execute_async_script(code, *args)

    def element(self, element_id):
        from selenium.webdriver.common.by import By
        return self.driver.find_element(By.ID, element_id)

    def text(self, element_id):
        return self.script('return document.getElementById(arguments[0]).textContent;',
                           element_id)

    def state(self):
        return self.element('status').get_attribute('data-state')

    def local_now(self):
        """The browser's local date and time, as the header prints them."""
        return self.script("""
          var d = new Date(), two = function (n) { return (n < 10 ? '0' : '') + n; };
          return d.getFullYear() + two(d.getMonth() + 1) + two(d.getDate()) + ' ' +
                 two(d.getHours()) + ':' + two(d.getMinutes()) + ':' + two(d.getSeconds());""")

    def requested_urls(self):
        urls = []
        for entry in self.driver.get_log('performance'):
            message = json.loads(entry['message'])['message']
            if message.get('method') == 'Network.requestWillBeSent':
                urls.append(message['params']['request']['url'])
        return urls


def fill_form(browser, log_path, form):
    from selenium.webdriver.support.select import Select
    if log_path is not None:
        browser.element('log').send_keys(os.path.abspath(log_path))
    for element_id, value in form.items():
        element = browser.element(element_id)
        if isinstance(value, bool):
            if element.is_selected() != value:
                element.click()
        elif element.tag_name == 'select':
            Select(element).select_by_value(value)
        else:
            element.clear()
            element.send_keys(value)


def reset_form(browser):
    """Every field of the form as the page made it, the log's too."""
    browser.script("document.getElementById('form').reset();")


def wait_for_result(browser, timeout=WAIT_SECONDS):
    deadline = time.monotonic() + timeout
    while browser.state() == 'working':
        if time.monotonic() > deadline:
            raise AssertionError('the page is still working after %d s' % timeout)
        time.sleep(0.05)
    return browser.state()


def download_all(browser, folder):
    """Clicks every link the page offers and waits for the files; returns
    their names in the page's order."""
    links = browser.driver.find_elements('css selector', '#results a[download]')
    names = [link.get_attribute('download') for link in links]
    for link in links:
        assert link.get_attribute('href').startswith('blob:'), link.get_attribute('href')
        link.click()
    deadline = time.monotonic() + WAIT_SECONDS
    while True:
        present = set(os.listdir(folder))
        if all(name in present for name in names) and not any(
                n.endswith('.crdownload') for n in present):
            break
        if time.monotonic() > deadline:
            raise AssertionError(f'downloads missing: {sorted(set(names) - present)}')
        time.sleep(0.1)
    return names


def check_run_date(failures, run_date, before, after):
    """The page's header carries the run's date and time in the browser's
    local time."""
    # RINEX 2 writes "20060104 11:21:30", RINEX 3 "20060104 112130 LCL".
    match = re.match(rb'(\d{8}) (\d\d):?(\d\d):?(\d\d)', run_date or b'')
    if failures.check(match is not None, f'no run date in the header: {run_date!r}'):
        stamp = '%s %s:%s:%s' % tuple(part.decode() for part in match.groups())
        failures.check(before <= stamp <= after,
                       f'run date {stamp} is not the browser\'s local time '
                       f'(between {before} and {after})')


def wait_for_download(folder, name, timeout=WAIT_SECONDS):
    deadline = time.monotonic() + timeout
    path = os.path.join(folder, name)
    while not os.path.exists(path) or any(n.endswith('.crdownload') for n in os.listdir(folder)):
        if time.monotonic() > deadline:
            raise AssertionError(f'no download {name} in {sorted(os.listdir(folder))}')
        time.sleep(0.1)
    return path


def check_zip(failures, path, folder):
    """Tests the archive as unzip does and unpacks it into folder; returns
    the names it holds."""
    import zipfile
    if shutil.which('unzip'):
        tested = subprocess.run(['unzip', '-t', path], capture_output=True, text=True)
        failures.check(tested.returncode == 0 and 'No errors detected' in tested.stdout,
                       f'unzip -t {os.path.basename(path)}: {tested.stdout[-500:]}{tested.stderr}')
    else:
        print('unzip is missing (Debian: apt-get install unzip); Python\'s zipfile tests the zip')
    with zipfile.ZipFile(path) as archive:
        failures.equal(archive.testzip(), None, f'the first bad file of {path}')
        archive.extractall(folder)
        return archive.namelist()


def check_download_all(browser, failures, case, page_names, native, work, figures):
    """A run of several files offers them all as one zip, which holds the
    native program's files; a run of one file offers no zip."""
    button = browser.element('download-all')
    if len(page_names) < 2:
        failures.check(not button.is_displayed(), 'Download all is offered for one file')
        return
    if not failures.check(button.is_displayed(), 'Download all is not offered'):
        return
    downloads = os.path.join(work, 'downloads')
    zip_name = os.path.splitext(case.log)[0] + '.zip'
    started = time.monotonic()
    button.click()
    path = wait_for_download(downloads, zip_name)
    figures['download_all'] = {'files': len(page_names), 'zip_bytes': os.path.getsize(path),
                               'seconds': round(time.monotonic() - started, 3)}
    unpacked = os.path.join(work, 'unzipped')
    shutil.rmtree(unpacked, ignore_errors=True)
    names = check_zip(failures, path, unpacked)
    failures.equal(names, page_names, 'the files in the zip, in the page\'s order')
    compare_outputs(failures, unpacked, names, native)


def compare_outputs(failures, page_folder, page_names, native):
    failures.equal(sorted(page_names), native['files'], 'the files offered')
    run_date = None
    for name in sorted(set(page_names) & set(native['files'])):
        page_path = os.path.join(page_folder, name)
        native_path = os.path.join(native['folder'], name)
        if name.endswith('.gz'):
            with open(page_path, 'rb') as f:
                if not failures.check(f.read(2) == b'\x1f\x8b', f'{name} is not gzip'):
                    continue
        page_digest, page_run_date = masked_digest(page_path)
        native_digest, _ = masked_digest(native_path)
        if page_run_date is not None:
            run_date = page_run_date
        if page_digest != native_digest:
            detail = ''
            if os.path.getsize(native_path) < (1 << 20):
                with open_output(page_path) as a, open_output(native_path) as b:
                    page_bytes, native_bytes = masked_bytes(a.read()), masked_bytes(b.read())
                at = next((i for i, (x, y) in enumerate(zip(page_bytes, native_bytes)) if x != y),
                          min(len(page_bytes), len(native_bytes)))
                detail = (f' (first difference at byte {at}: page '
                          f'{page_bytes[at:at + 80]!r}, native {native_bytes[at:at + 80]!r})')
            failures.check(False, f'{name} differs from the native program\'s{detail}')
    return run_date


def run_form_case(name, case, browser, tools, work, failures, figures):
    log_path = tools['logs'][case.log]
    native = native_run(tools['kapolex'], log_path, case.log, case.native_args,
                        os.path.join(work, 'native'))
    downloads = os.path.join(work, 'downloads')
    shutil.rmtree(downloads, ignore_errors=True)
    browser.set_downloads(downloads)
    browser.open(tools['page'])
    fill_form(browser, log_path, case.form)
    before = browser.local_now()
    probe = None
    if name == 'large_log':
        probe = ResponsivenessProbe(browser)
    browser.element('convert').click()
    if probe:
        probe.watch(os.path.getsize(log_path))
    state = wait_for_result(browser)
    after = browser.local_now()

    failures.equal(state, 'done' if native['status'] == 0 else 'error', 'data-state')
    failures.equal(browser.text('console'), native['console'], 'the console text')
    failures.equal(browser.text('errors'), native['errors'], 'the diagnostics')
    status_text = browser.text('status')
    if native['status'] not in (0, 2):
        failures.check(str(native['status']) in status_text,
                       f'the status does not give exit status {native["status"]}: {status_text}')
    if case.usage_error_field:
        message = native['errors'].splitlines()[0].removeprefix('kapolex: ')
        failures.equal(browser.text(case.usage_error_field + '-error'), message,
                       f'the usage error next to {case.usage_error_field}')
        failures.equal(browser.element(case.usage_error_field).get_attribute('aria-invalid'),
                       'true', f'{case.usage_error_field} marked invalid')

    page_names = download_all(browser, downloads)
    run_date = compare_outputs(failures, downloads, page_names, native)
    if run_date is not None:
        check_run_date(failures, run_date, before, after)
    check_download_all(browser, failures, case, page_names, native, work, figures)
    plot_names = [n for n in page_names if n.endswith('.svg')]
    if plot_names and os.path.getsize(os.path.join(downloads, plot_names[0])) > 0:
        width = browser.script("var p = document.getElementById('plot');"
                               "return p.hidden ? 0 : p.naturalWidth;")
        failures.check(width > 0, 'the tracking plot is not shown on the page')

    if probe:
        probe.report(failures, figures, browser, log_path, tools, native, case)
        check_cancel(browser, failures)
    return browser


def check_cancel(browser, failures):
    """Cancel, pressed while the log converts, stops the run: the page says
    so, with nothing offered."""
    browser.element('convert').click()
    deadline = time.monotonic() + WAIT_SECONDS
    while float(browser.element('progress').get_attribute('value')) == 0:
        if browser.state() != 'working' or time.monotonic() > deadline:
            break
        time.sleep(0.02)
    was = browser.state()
    browser.element('cancel').click()
    state = wait_for_result(browser)
    failures.equal((was, state, browser.text('status'), browser.text('results')),
                   ('working', 'cancelled', 'Cancelled.', ''), 'the page after Cancel')


class ResponsivenessProbe:
    """While the large log converts, clicks a checkbox of the form (its
    default action and a listener need the page's main thread) and reads the
    progress bar, a few times a second."""

    def __init__(self, browser):
        self.browser = browser
        browser.script("window.probeClicks = 0; document.getElementById('snr')"
                       ".addEventListener('click', function () { window.probeClicks += 1; });")
        self.samples = []  # (progress value, click seconds, clicks handled, state)

    def watch(self, log_size):
        snr = self.browser.element('snr')
        while self.browser.state() == 'working':
            value = float(self.browser.element('progress').get_attribute('value'))
            started = time.monotonic()
            snr.click()
            click_seconds = time.monotonic() - started
            handled, state = self.browser.script(
                "return [window.probeClicks, document.getElementById('status').dataset.state];")
            self.samples.append((value, click_seconds, handled, state))
            time.sleep(0.1)
        self.log_size = log_size

    def report(self, failures, figures, browser, log_path, tools, native, case):
        working = [s for s in self.samples if s[3] == 'working']
        values = [s[0] for s in working]
        rising = [b for a, b in zip(values, values[1:]) if b > a]
        failures.check(len(working) >= 3,
                       f'only {len(working)} clicks landed while converting: {self.samples}')
        failures.check(all(s[2] == i + 1 for i, s in enumerate(self.samples)),
                       f'not every click was handled at once: {self.samples}')
        failures.check(len(rising) >= 2 and 0 < values[-1] < self.log_size,
                       f'the progress did not rise while converting: {values}')
        slowest_click = max((s[1] for s in working), default=0)
        failures.check(slowest_click < 1.0, f'a click took {slowest_click:.2f} s to be handled')

        status = browser.element('status')
        heap = int(status.get_attribute('data-heap-bytes'))
        failures.check(heap < HEAP_BUDGET_BYTES, f'the heap grew to {heap} bytes')
        result = {'log_bytes': os.path.getsize(log_path), 'heap_bytes': heap,
                  'slowest_click_s': round(slowest_click, 3), 'progress_samples': len(working),
                  'form_run_seconds': float(status.get_attribute('data-seconds'))}
        # Speed, best of three on either side: the form's command line, with
        # the quality check, and the plain conversion.
        workloads = {'form': case.native_args,
                     'plain': ['-q', '--week', '1356', '--', case.log]}
        reads = browser_read_seconds(browser)
        fastest_read = min(reads.values())
        result['browser_read_seconds'] = {how: round(t, 3) for how, t in reads.items()}
        result['browser_read_mb_per_s'] = round(result['log_bytes'] / 1e6 / fastest_read, 1)
        for workload, args in workloads.items():
            page_seconds, in_worker = min(page_run_seconds(browser, args, failures)
                                          for _ in range(3))
            native_seconds = min(
                native_run(tools['kapolex'], log_path, case.log, args,
                           native['folder'] + '-' + workload)['seconds'] for _ in range(3))
            size = result['log_bytes']
            result[workload] = {
                'args': args,
                'page_seconds': round(page_seconds, 3),
                'native_seconds': round(native_seconds, 3),
                'page_mb_per_s': round(size / 1e6 / page_seconds, 1),
                'native_mb_per_s': round(size / 1e6 / native_seconds, 1),
                'slower_than_native': round(page_seconds / native_seconds, 2),
                'slower_than_browser_read': round(page_seconds / fastest_read, 2),
                'page_run_reading_writing_converting_seconds': [
                    round(in_worker[key], 3) for key in ('run', 'reading', 'writing', 'converting')],
            }
        figures['large_log'] = result
        print('large log:', json.dumps(result, indent=1))
        for workload in workloads:
            w = result[workload]
            print(f'{workload}: page {w["page_seconds"]} s, the browser\'s fastest read '
                  f'{round(fastest_read, 3)} s ({w["slower_than_browser_read"]} times), '
                  f'native {w["native_seconds"]} s ({w["slower_than_native"]} times)')


# The browser's own reads of a File in a worker, each to its end and
# touching nothing: as a stream, as 16 MiB slices read one after another and
# with the next slice asked for before the last arrives, and through
# FileReaderSync. Posted the File, the worker answers with the seconds of
# each way, best of three.
READ_WORKER = """
self.onmessage = async ({ data: file }) => {
  const slice = 16 << 20;
  const ways = {
    stream: async () => {
      const reader = file.stream().getReader();
      while (!(await reader.read()).done);
    },
    slices: async () => {
      for (let at = 0; at < file.size; at += slice) await file.slice(at, at + slice).arrayBuffer();
    },
    slices_ahead: async () => {
      let next = file.slice(0, slice).arrayBuffer();
      for (let at = slice; at < file.size; at += slice) {
        const reading = next;
        next = file.slice(at, at + slice).arrayBuffer();
        await reading;
      }
      await next;
    },
    sync: async () => {
      const reader = new FileReaderSync();
      for (let at = 0; at < file.size; at += slice) reader.readAsArrayBuffer(file.slice(at, at + slice));
    },
  };
  const best = {};
  for (let round = 0; round < 3; ++round) {
    for (const [way, read] of Object.entries(ways)) {
      const started = performance.now();
      await read();
      const seconds = (performance.now() - started) / 1000;
      best[way] = Math.min(best[way] ?? Infinity, seconds);
    }
  }
  self.postMessage(best);
};
"""


def browser_read_seconds(browser):
    """The seconds of the browser's own reads of the log in the file input,
    in a worker of their own, by way of reading."""
    return browser.async_script("""
      var done = arguments[arguments.length - 1];
      var url = URL.createObjectURL(new Blob([arguments[0]], {type: 'text/javascript'}));
      var worker = new Worker(url);
      worker.onmessage = function (e) { worker.terminate(); done(e.data); };
      worker.postMessage(document.getElementById('log').files[0]);""", READ_WORKER)


def page_run_seconds(browser, args, failures):
    """One run of the log in the file input through kapolex.convert, timed
    in the page from the call to the result, after a pause in which the page
    readies its next worker, as it does while a user fills the form."""
    time.sleep(1)
    run = browser.async_script("""
      var done = arguments[arguments.length - 1];
      var log = document.getElementById('log').files[0], started = performance.now();
      kapolex.convert(log, arguments[0]).then(function (r) {
        done({seconds: (performance.now() - started) / 1000, status: r.status,
              inWorker: r.seconds});
      }, function (e) { done({failure: String(e)}); });""", args)
    failures.equal(run.get('status'), 0, f'the page\'s run of {args}')
    return run.get('seconds', float('inf')), run.get('inWorker')


def run_command_lines(browser, tools, work, failures):
    """kapolex.convert with the program's own arguments, against the native
    program with the same arguments in a folder holding the same log."""
    browser.open(tools['page'])
    sample = tools['logs']['z.log']
    with open(sample, 'rb') as f:
        sample_b64 = base64.b64encode(f.read()).decode()
    for index, (args, standard_input) in enumerate(COMMAND_LINES):
        native = native_run(tools['kapolex'], sample, 'z.log', args,
                            os.path.join(work, f'native-{index}'),
                            stdin_log=standard_input == LOG_ON_INPUT)
        page = browser.async_script("""
          var done = arguments[arguments.length - 1];
          var bytes = Uint8Array.from(atob(arguments[0]), function (c) { return c.charCodeAt(0); });
          var toBase64 = function (blob) {
            return blob.arrayBuffer().then(function (buffer) {
              var b = new Uint8Array(buffer), s = '';
              for (var i = 0; i < b.length; i += 8192)
                s += String.fromCharCode.apply(null, b.subarray(i, i + 8192));
              return btoa(s);
            });
          };
          kapolex.convert(bytes, arguments[1]).then(function (r) {
            var names = Object.keys(r.files);
            return Promise.all(names.map(function (n) { return toBase64(r.files[n]); }))
              .then(function (contents) {
                var files = {};
                names.forEach(function (n, i) { files[n] = contents[i]; });
                done({status: r.status, console: r.console, errors: r.errors, files: files,
                      usageError: r.usageError});
              });
          }).catch(function (e) { done({failure: String(e)}); });""", sample_b64, args)
        what = f'kapolex {" ".join(args)}'
        if not failures.check('failure' not in page, f'{what}: {page.get("failure")}'):
            continue
        failures.equal(page['status'], native['status'], f'{what}: exit status')
        page_console = page['console'].encode()
        native_console = native['console'].encode()
        if is_rinex(native_console[:4096]):
            page_console, native_console = masked_bytes(page_console), masked_bytes(native_console)
        failures.equal(page_console, native_console, f'{what}: standard output')
        failures.equal(page['errors'], native['errors'], f'{what}: standard error')
        # A usage error comes as data too, with the message the program prints.
        usage = None
        if native['status'] == 2:
            usage = native['errors'].splitlines()[0].removeprefix('kapolex: ')
        failures.equal((page['usageError'] or {}).get('message'), usage, f'{what}: usage error')
        failures.equal(sorted(page['files']), native['files'], f'{what}: files')
        for name in sorted(set(page['files']) & set(native['files'])):
            with open(os.path.join(native['folder'], name), 'rb') as f:
                expected = masked_bytes(f.read())
            got = masked_bytes(base64.b64decode(page['files'][name]))
            failures.equal(got, expected, f'{what}: {name}')


def help_entries(text):
    """The options of --help: long name -> (metavar, help), the help's
    wrapped lines joined again."""
    entries = {}
    current = None
    for line in text.splitlines():
        entry = re.match(r'(?:  -\w, |      )--([a-z][a-z0-9-]*)(?: (\S+))?  +(.*)$', line)
        if entry:
            current = entry.group(1)
            entries[current] = [entry.group(2) or '', entry.group(3)]
        elif current and line.startswith('      ') and line.strip():
            entries[current][1] += ' ' + line.strip()
        else:
            current = None
    return entries


def check_options_form(browser, tools, failures):
    """Every option of the program's --help is a field of the form, with its
    help text and a field of its kind, or is listed as not offered, with a
    reason; never both, and nothing else is either."""
    shown = subprocess.run([tools['kapolex'], '--help'], capture_output=True, text=True)
    options = help_entries(shown.stdout)
    failures.check(len(options) > 20, f'--help lists only {sorted(options)}')
    browser.open(tools['page'])
    fields = browser.script("""
      return Array.from(document.querySelectorAll('#options input, #options select'), (e) => ({
        id: e.id, kind: e.tagName.toLowerCase() + ':' + (e.tagName === 'SELECT' ?
          Array.from(e.options, (o) => o.value).join(',') : e.type),
        help: document.getElementById(e.id + '-help')?.textContent,
        describedBy: e.getAttribute('aria-describedby'),
        errorSpan: document.getElementById(e.id + '-error') !== null}));""")
    excluded = dict(browser.script("""
      return Array.from(document.querySelectorAll('#not-offered li'),
                        (li) => [li.dataset.option, li.textContent]);"""))
    in_form = {field['id']: field for field in fields}
    for name, (metavar, help_text) in options.items():
        offered, listed = name in in_form, name in excluded
        if not failures.check(offered != listed, f'--{name}: in the form {offered}, listed as '
                              f'not offered {listed}'):
            continue
        if listed:
            failures.check(re.fullmatch(rf'--{name}: \S.+', excluded[name]) is not None,
                           f'--{name} is not offered without a reason: {excluded[name]!r}')
            continue
        field = in_form[name]
        failures.equal(field['help'], help_text, f'the help shown at --{name}')
        failures.check(field['describedBy'] == name + '-help' and field['errorSpan'],
                       f'--{name} has no help or error span of its own: {field}')
        choices = metavar.split('|') if '|' in metavar else None
        if not metavar:
            failures.equal(field['kind'], 'input:checkbox', f'the field of --{name}, a switch')
        elif choices:
            offered_values = field['kind'].removeprefix('select:').split(',')
            failures.check(field['kind'].startswith('select:') and
                           [v for v in offered_values if v] == choices,
                           f'the field of --{name} offers {field["kind"]}, not {choices}')
        else:
            failures.equal(field['kind'], 'input:text', f'the field of --{name}')
    stray = (set(in_form) | set(excluded)) - set(options)
    failures.check(not stray, f'the form has or lists options the program lacks: {sorted(stray)}')

    found = dict(browser.script("""
      return arguments[0].map((id) => {
        const e = document.getElementById(id);
        if (e === null) return [id, null];
        const values = e.tagName === 'SELECT' ? Array.from(e.options, (o) => o.value).join(',')
                     : e.tagName === 'INPUT' ? e.type : '';
        return [id, e.tagName.toLowerCase() + ':' + values];
      });""", sorted(FORM_IDS)))
    failures.equal(found, FORM_IDS, 'the page\'s element ids')
    heading = browser.script("return document.querySelector('header').textContent;")
    failures.check('3.04' in heading, f'the heading names one RINEX version: {heading!r}')


def run_usage_errors(browser, tools, work, failures):
    """Each usage error of the table is shown at its option's field, with
    the native program's message, and no other field is marked."""
    sample = tools['logs']['z.log']
    browser.open(tools['page'])
    for index, (form, args, field) in enumerate(USAGE_ERRORS):
        native = native_run(tools['kapolex'], sample, 'z.log', args + ['--', 'z.log'],
                            os.path.join(work, f'native-{index}'))
        what = ' '.join(args)
        if not failures.equal(native['status'], 2, f'{what}: the native exit status'):
            continue
        reset_form(browser)
        # The reports off: the command lines above have none.
        fill_form(browser, sample, dict(form, qc=False))
        failures.equal(browser.text('command-line'),
                       ' '.join(['kapolex'] + [shlex.quote(a) for a in args] + ['--', 'z.log']),
                       f'{what}: the command line the page shows')
        browser.element('convert').click()
        state = wait_for_result(browser)
        marked = browser.script("""
          return Array.from(document.querySelectorAll('[aria-invalid=true]'), (e) => e.id);""")
        message = native['errors'].splitlines()[0].removeprefix('kapolex: ')
        failures.equal((state, marked, browser.text(field + '-error'), browser.text('status')),
                       ('error', [field], message,
                        'The options are not usable: see the field marked.'),
                       f'{what}: the page after the usage error')
        failures.equal(browser.text('errors'), native['errors'], f'{what}: the diagnostics')


def run_states(browser, tools, work, failures):
    """The page's states as a user goes through them: what the status says,
    which buttons work, the progress bar and what is offered, in each."""
    logs = tools['logs']
    browser.open(tools['page'])

    def expect(state, text, what, results_empty=True):
        wait_for_result(browser, timeout=120)
        seen = browser.script("""
          const e = (id) => document.getElementById(id);
          return [e('status').dataset.state, e('status').textContent, e('convert').disabled,
                  e('cancel').disabled, e('progress').hidden, e('log').disabled,
                  e('results').children.length === 0];""")
        failures.equal(seen, [state, text, False, True, True, False, results_empty], what)

    expect('idle', 'Choose a log to begin.', 'the page as it opens')
    browser.element('convert').click()
    expect('error', 'No log chosen.', 'Convert without a log')
    failures.equal(browser.text('log-error'), 'Choose the log to convert.', 'the log\'s field')

    browser.element('log').send_keys(logs['z.log'])
    expect('ready', 'Ready to convert.', 'a log chosen')
    failures.equal(browser.text('log-error'), '', 'the log\'s field once a log is chosen')
    browser.element('convert').click()
    expect('error', 'The week or the date is needed.', 'Convert without a week')
    fill_form(browser, None, {'week': '1356'})
    browser.element('convert').click()
    wait_for_result(browser, timeout=120)
    expect('done', browser.text('status'), 'a run done', results_empty=False)
    failures.check(browser.text('status').startswith('Done: read 70.5 KiB in '),
                   f'the status after a run: {browser.text("status")}')

    # A new log: the last run's status, files and texts go.
    browser.element('log').send_keys(logs['day.log'])
    expect('ready', 'Ready to convert.', 'another log chosen after a run')
    failures.equal([browser.text(i) for i in ('console', 'errors')] +
                   [browser.element('download-all').is_displayed()], ['', '', False],
                   'what the page shows of the last run once another log is chosen')

    # Cancel while converting: cancelled, not ready, and nothing offered.
    browser.element('log').send_keys(logs['cancelled.log'])
    browser.element('convert').click()
    working = browser.script("""
      const e = (id) => document.getElementById(id);
      return [e('status').dataset.state, e('convert').disabled, e('cancel').disabled,
              e('progress').hidden, e('log').disabled];""")
    failures.equal(working, ['working', True, False, False, True], 'the page while converting')
    browser.element('cancel').click()
    expect('cancelled', 'Cancelled.', 'Cancel while converting')

    # A cancelled page converts again, and a new log after a cancel is ready.
    browser.element('log').send_keys(logs['z.log'])
    expect('ready', 'Ready to convert.', 'a log chosen after Cancel')
    browser.element('convert').click()
    wait_for_result(browser, timeout=120)
    expect('done', browser.text('status'), 'a run after Cancel', results_empty=False)


def check_page_itself(browser, tools, failures, figures):
    """The page is one file within its budget, and it asks for nothing from
    any network: its requests are the page and the blobs and data it makes
    itself, and its policy refuses any other."""
    size = os.path.getsize(tools['page'])
    figures['page_bytes'] = size
    failures.check(size <= PAGE_BUDGET_BYTES, f'the page has {size} bytes')
    refused = browser.async_script("""
      var done = arguments[arguments.length - 1];
      document.addEventListener('securitypolicyviolation', function (e) {
        done(e.effectiveDirective);
      });
      fetch('http://127.0.0.1:9/probe').catch(function () {});
      setTimeout(function () { done('not refused'); }, 5000);""")
    failures.equal(refused, 'connect-src', 'the page\'s policy refusing a network request')
    urls = browser.requested_urls()
    failures.check(all(u.split(':', 1)[0] in ('file', 'blob', 'data') for u in urls),
                   f'the page made network requests: {[u[:80] for u in urls]}')
    offset = browser.script('return new Date().getTimezoneOffset();')
    failures.equal(offset, BROWSER_ZONE_OFFSET_MINUTES, 'the browser\'s time zone')


def save_screenshot(browser, path):
    """The whole page, as wide as the window."""
    width, height = browser.script('var e = document.documentElement;'
                                   'return [e.clientWidth, e.scrollHeight];')
    shot = browser.driver.execute_cdp_cmd('Page.captureScreenshot', {
        'format': 'png', 'captureBeyondViewport': True,
        'clip': {'x': 0, 'y': 0, 'width': width, 'height': height, 'scale': 1}})
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(base64.b64decode(shot['data']))


def make_logs(case_logs, tools, work):
    logs = {}
    for name in case_logs:
        if LOGS[name] is None:
            logs[name] = tools['sample']
            continue
        path = os.path.join(work, name)
        subprocess.run([tools['zlogsim'], '-o', path] + LOGS[name], check=True)
        logs[name] = path
    return logs


# The cases that are not one conversion through the form: their logs, and
# what they do.
OTHER_CASES = {
    'command_lines': (['z.log'], run_command_lines),
    'options_form': ([], lambda browser, tools, work, failures:
                     check_options_form(browser, tools, failures)),
    'usage_errors': (['z.log'], run_usage_errors),
    'states': (['z.log', 'day.log', 'cancelled.log'], run_states),
}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--page', required=True)
    parser.add_argument('--kapolex', required=True)
    parser.add_argument('--zlogsim', required=True)
    parser.add_argument('--sample', required=True)
    parser.add_argument('--work', required=True)
    parser.add_argument('--figures', required=True)
    parser.add_argument('--case', required=True,
                        choices=sorted(FORM_CASES) + sorted(OTHER_CASES))
    options = parser.parse_args()

    work = os.path.join(os.path.abspath(options.work), options.case)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    tools = {key: os.path.abspath(getattr(options, key))
             for key in ('page', 'kapolex', 'zlogsim', 'sample')}
    for key in ('page', 'kapolex', 'zlogsim', 'sample'):
        if not os.path.isfile(tools[key]):
            print(f'missing {key}: {tools[key]}')
            return 1

    failures = Failures()
    figures = {}
    try:
        browser = Browser(os.path.join(work, 'downloads'))
    except Skip as reason:
        print('skipped:', reason)
        return SKIP
    try:
        if options.case in OTHER_CASES:
            logs, run = OTHER_CASES[options.case]
            tools['logs'] = make_logs(logs, tools, work)
            run(browser, tools, work, failures)
        else:
            case = FORM_CASES[options.case]
            tools['logs'] = make_logs([case.log], tools, work)
            run_form_case(options.case, case, browser, tools, work, failures, figures)
            if options.case == 'sample':
                check_page_itself(browser, tools, failures, figures)
                screenshot = os.environ.get('KAPOLEX_SCREENSHOT')
                if screenshot:
                    save_screenshot(browser, screenshot)
    finally:
        browser.close()

    if figures:
        os.makedirs(options.figures, exist_ok=True)
        with open(os.path.join(options.figures, options.case + '.json'), 'w') as f:
            json.dump(figures, f, indent=2)
    if failures.items:
        print(f'{len(failures.items)} check(s) failed')
        return 1
    print('passed')
    if options.case == 'large_log':
        # The large log and the outputs are big; the figures are kept.
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == '__main__':
    sys.exit(main())
