#!/usr/bin/env python3
"""Packs the two built gauge modules, their two sounds, the tools (gaugecheck and the bench with
its stand-in sound library), the end users' READ-ME, the changelog and the SHA-256 sums of
every file into dist/VQT7-gauges-<version>.zip, laid out as it installs.

The same modules give the same zip, byte for byte: entries in a fixed order with a fixed date,
fixed attributes and no build paths. The version is the project's, from CMakeLists.txt.
"""
import argparse
import hashlib
import pathlib
import re
import sys
import zipfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
MODULES = ("VQT7_Boomcue.gau", "VQT7_Drag_Drone.gau")
# The sounds the build made (scripts/make_sounds.py), where the gauges play them from.
SOUNDS = ("sound/QX/Supersonic.wav", "sound/QX/Speed_Brake.wav")
# Built file (under the build's bin folder) -> where it goes in the zip. The bench finds its
# stand-in sound library in sound\full\ beside itself; that stand-in plays nothing and says so
# in its version record, and the note beside it says it again.
TOOLS = (
    ("gaugeinstall.exe", "Tools/gaugeinstall.exe"),
    ("gaugecheck.exe", "Tools/gaugecheck.exe"),
    ("gaugebench.exe", "Tools/gaugebench/gaugebench.exe"),
    ("sound/full/GaugeSound.dll", "Tools/gaugebench/sound/full/GaugeSound.dll"),
)
STAND_IN_NOTE = """\
The GaugeSound.dll in the folder below this one is NOT the GaugeSound library.

It is gaugebench's test stand-in: it records what the gauges ask it to play and plays
nothing. gaugebench needs it here, beside it. Never copy it into the simulator's folder:
the gauges would stay silent (Tools\\gaugecheck.exe reports it if you do).
"""
# Zip dates have no time zone and start in 1980; every entry carries this one.
FIXED_DATE = (2004, 7, 29, 0, 0, 0)

READ_ME = """\
VQT7 sound cue gauges {version}
{underline}

Two gauges for Microsoft Flight Simulator 2004 that add sound cues to an aircraft:

  VQT7_Boomcue.gau     shows a small readout of the frequency it watches (1xx.xx) and plays
                       sound\\QX\\Supersonic.wav once when that frequency is set to 124.00. It
                       plays again only after the frequency has been tuned to 124.05 or higher
                       (it is also armed when the gauge is first drawn after loading).
  VQT7_Drag_Drone.gau  keeps sound\\QX\\Speed_Brake.wav looping while the simulator's
                       variable 326 is above 8000 and variable 61 above 100, and stops it when
                       variable 326 falls below 8000. It shows only a black square.

The gauges need nothing but Windows itself and the GaugeSound library (see 3). They work on
any Windows that runs the simulator.


1. Install: run Tools\\gaugeinstall.exe
---------------------------------------

Drop the simulator's folder (the one that holds FS9.exe) onto Tools\\gaugeinstall.exe, or
double-click gaugeinstall.exe when this package is unpacked inside that folder. It lists the
aircraft with a number each and asks which to use (one or several numbers, or a folder name),
shows every change it will make and asks before it makes them. Then it checks the install as
Tools\\gaugecheck.exe does (section 5) and waits for Enter.

From a command prompt, name the simulator's folder and one or more aircraft folders (the names
under its Aircraft folder, or the paths of aircraft folders):

  Tools\\gaugeinstall.exe "C:\\Program Files\\Microsoft Games\\Flight Simulator 9" C172
  Tools\\gaugeinstall.exe --dry-run "C:\\...\\Flight Simulator 9" C172    shows what would change
  Tools\\gaugeinstall.exe --help                                          every option

What it does, all or nothing:

  - copies VQT7_Boomcue.gau and VQT7_Drag_Drone.gau into the simulator's Gauges folder (a copy
    of an older release is replaced; a file of that name it does not know stops it, with a
    line saying so);
  - copies the two sounds into sound\\QX (a sound of your own already there is kept);
  - adds the two gauge lines of section 2 to each panel.cfg the aircraft uses (the ones its
    aircraft.cfg chooses, and the panel an "alias=" line hands it to), in the main 2D window
    [Window00] and in the virtual cockpit's first [VcockpitNN] section, each numbered one
    above the highest number there; it corrects a misspelled line of these gauges in place;
  - copies each panel.cfg once to panel.cfg.vqt7-backup before its first change.

It changes no other byte of your files, and a file is either changed whole or left as it was.
The simulator usually sits under Program Files, where Windows lets only an administrator
write: if gaugeinstall says "run it as administrator", right-click it (or the command prompt)
and choose "Run as administrator". Running it again changes nothing.

By hand instead: copy the two files from the Gauges folder of this package into ONE of these
folders:

  - the simulator's Gauges folder, for every aircraft, for example
      C:\\Program Files\\Microsoft Games\\Flight Simulator 9\\Gauges
  - or the panel folder of one aircraft, for that aircraft only, for example
      C:\\Program Files\\Microsoft Games\\Flight Simulator 9\\Aircraft\\<aircraft>\\panel
    (if that aircraft's panel.cfg is only an "alias=" line, use the panel folder it names).


2. The gauges in the aircraft's panel.cfg
-----------------------------------------

Tools\\gaugeinstall.exe writes these lines for you (section 1); --where 2d or --where vc puts
them in one of the two sections only, and --at X,Y places the readout.

By hand instead: make a copy of the aircraft's panel\\panel.cfg first. Then open it with
Notepad. A gauge line reads   gaugeNN=module!gauge, x, y, width, height
where NN is the next free number in that section (00, 01, ...), x and y place the gauge's top
left corner in pixels and width and height its size. A gauge runs only while the panel that
holds it is in use: put the lines in the main panel window, and in the virtual cockpit too if
you fly from it.

2D panel: in the main panel window's section, usually [Window00], after its last gauge line
(here 07 and 08 are the next free numbers; use yours):

  gauge07=VQT7_Boomcue!VQT7_Boomcue, 10, 10, 40, 40
  gauge08=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1

Virtual cockpit: in the aircraft's existing [Vcockpit01] section (x and y are pixels on that
section's texture; pick a spot that the cockpit model does not show, or where you want the
readout), after its last gauge line:

  gauge12=VQT7_Boomcue!VQT7_Boomcue, 10, 10, 40, 40
  gauge13=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1

VQT7_Boomcue is a 40 x 40 black square with the readout along its top; a width and height
other than 40, 40 scale it. VQT7_Drag_Drone draws only a black square, so 1 x 1 pixel keeps
it out of sight. Both the 2D panel and the virtual cockpit may hold the gauges at once: a cue
still plays once, and the loop is not doubled.


3. Sound files and the GaugeSound library
-----------------------------------------

Tools\\gaugeinstall.exe copies the two sound files of this package, sound\\QX\\Supersonic.wav
(the boom) and sound\\QX\\Speed_Brake.wav (the drone of the speed brakes), into the
simulator's main folder (section 1). By hand instead, copy them to the same paths there:

  sound\\QX\\Supersonic.wav
  sound\\QX\\Speed_Brake.wav

that is, for example C:\\Program Files\\Microsoft Games\\Flight Simulator 9\\sound\\QX\\Supersonic.wav.

The gauges play their sounds through the third-party GaugeSound library, which this package
does not contain and gaugeinstall does not install. Install it as its own instructions say:
GaugeSound.dll goes into the simulator's main folder, the one that holds FS9.exe, for example
  C:\\Program Files\\Microsoft Games\\Flight Simulator 9\\GaugeSound.dll
gaugeinstall's check at the end says so when it is missing.

Without GaugeSound the gauges still load and run: the readout shows the frequency, and there
is simply no sound. Nothing crashes and no message appears. What happens when a sound file is
missing is GaugeSound's business; the gauges pass it the two paths above unchanged.


4. Uninstall: run Tools\\gaugeinstall.exe --uninstall
----------------------------------------------------

  Tools\\gaugeinstall.exe --uninstall "C:\\Program Files\\Microsoft Games\\Flight Simulator 9"

takes every line naming the gauges out of every panel.cfg of the simulator (name aircraft
after the folder to take them out of those only), then deletes the two gauges and the two
sounds when no panel uses them any more and they are this package's own. The
panel.cfg.vqt7-backup files stay; it names them. --dry-run shows what it would change.

By hand instead: remove the gaugeNN lines you added from panel.cfg (or put back your copy of
panel.cfg), then delete VQT7_Boomcue.gau and VQT7_Drag_Drone.gau from the folder you copied
them to. Leave GaugeSound.dll and the sound files in place if other add-ons use them.


5. No sound?
------------

Run Tools\\gaugecheck.exe: drop the simulator's folder (the one holding FS9.exe) onto it, or
start it from a command prompt:

  Tools\\gaugecheck.exe "C:\\Program Files\\Microsoft Games\\Flight Simulator 9"

It only reads; it changes nothing. It prints one line a finding, "ok", "warning" or
"problem", with the file concerned and, for a warning or problem, what to do:

  - which copy of each gauge the simulator takes (the aircraft's panel folder before the
    Gauges folder) and whether it is this release's;
  - which GaugeSound.dll the simulator would load, and whether it is a complete 32-bit one
    (not the bench's stand-in from Tools\\gaugebench);
  - whether sound\\QX\\Supersonic.wav and sound\\QX\\Speed_Brake.wav are there and playable,
    with their format and length, and whether they are this release's own;
  - every panel.cfg line that names the gauges: spelling, the "!" between module and gauge,
    a window the simulator never creates (a gap in the Window numbering before it), a
    gaugeNN number used twice in one window, alias= lines.

Add --aircraft "FOLDER" to check an aircraft folder kept outside the simulator's Aircraft
folder, and --json for one JSON object a line. It ends with the number of problems and
warnings; its exit code is 0 without problems, 1 with problems, 2 when the folder given is
not the simulator's.


6. Try the gauges without the simulator
---------------------------------------

Tools\\gaugebench\\gaugebench.exe runs the gauges as the simulator would, without it: it loads
them, tunes the frequency and moves the speed brake through a built-in demo, and prints
every sound call the gauges make and every change of the readout. From a command prompt in
the folder where you unpacked this package:

  Tools\\gaugebench\\gaugebench.exe Gauges\\VQT7_Boomcue.gau Gauges\\VQT7_Drag_Drone.gau

To hear what the gauges would play, with your own sound files, add
  --audio demo.wav --sounds "C:\\Program Files\\Microsoft Games\\Flight Simulator 9"
and open demo.wav. --snapshot faces.png draws the gauges' faces; --help lists the rest.
The bench uses its own stand-in GaugeSound.dll (Tools\\gaugebench\\sound\\full), which plays
nothing: never copy that one into the simulator's folder.


7. Checking the download
------------------------

SHA256SUMS.txt lists the SHA-256 checksum of every other file in this package. On Windows:
  certutil -hashfile Gauges\\VQT7_Boomcue.gau SHA256
"""

CHANGELOG = """\
VQT7 sound cue gauges: changes
==============================

{version}
  - First release: VQT7_Boomcue (frequency readout, one-shot cue at 124.00, armed again at
    124.05 and above) and VQT7_Drag_Drone (looping speed-brake sound).
  - Each gauge is under 8 KiB and needs only Windows' own KERNEL32, USER32 and msvcrt.dll.
  - Without the GaugeSound library, or with one lacking an entry point, the gauges stay silent
    where they would call it and never crash.
  - Tools\\gaugecheck.exe says why the gauges would be silent or missing in a simulator folder;
    Tools\\gaugebench runs them without the simulator.
  - The release carries its own two sounds, sound\\QX\\Supersonic.wav and
    sound\\QX\\Speed_Brake.wav, which gaugecheck recognises.
  - Tools\\gaugeinstall.exe installs the gauges and their sounds into aircraft and takes them
    out again, changing no other byte of panel.cfg and keeping a backup of each.
"""


def project_version(cmake_lists: pathlib.Path) -> str:
    match = re.search(r"project\(\s*\S+\s+VERSION\s+([0-9][0-9.]*)", cmake_lists.read_text())
    if not match:
        sys.exit(f"error: no project VERSION in {cmake_lists}")
    return match.group(1)


def windows_text(text: str) -> bytes:
    """End users open these in Notepad: CRLF line ends, plain ASCII."""
    return text.replace("\n", "\r\n").encode("ascii")


def built_file(path: pathlib.Path) -> bytes:
    if not path.is_file():
        sys.exit(f"error: {path} is missing; build first (./run.sh)")
    return path.read_bytes()


def release_files(gauges: pathlib.Path, sounds: pathlib.Path, tools: pathlib.Path, version: str):
    files = [("Gauges/" + name, built_file(gauges / name)) for name in MODULES]
    files += [(name, built_file(sounds / name)) for name in SOUNDS]
    files += [(entry, built_file(tools / built)) for built, entry in TOOLS]
    files.append(("Tools/gaugebench/sound/STAND-IN-ONLY.txt", windows_text(STAND_IN_NOTE)))
    files.append(("READ-ME.txt", windows_text(READ_ME.format(version=version, underline="=" * (22 + len(version))))))
    files.append(("CHANGELOG.txt", windows_text(CHANGELOG.format(version=version))))
    sums = "".join(f"{hashlib.sha256(data).hexdigest()}  {name}\n" for name, data in files)
    files.append(("SHA256SUMS.txt", windows_text(sums)))
    return files


def write_zip(path: pathlib.Path, files) -> None:
    path.parent.mkdir(parents=True, exist_ok=True)
    with zipfile.ZipFile(path, "w") as archive:
        for name, data in files:
            entry = zipfile.ZipInfo(name, date_time=FIXED_DATE)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 0          # MS-DOS: no Unix owner or mode bits
            entry.external_attr = 0x20       # the archive attribute only
            archive.writestr(entry, data, compresslevel=9)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--gauges", type=pathlib.Path, default=ROOT / "build" / "gauges",
                        help="folder holding the two built .gau files")
    parser.add_argument("--sounds", type=pathlib.Path, default=ROOT / "build" / "sounds",
                        help="folder holding the built sound/QX/ folder")
    parser.add_argument("--tools", type=pathlib.Path, default=ROOT / "build" / "bin",
                        help="the build's bin folder: gaugecheck.exe, gaugebench.exe, sound/full/")
    parser.add_argument("--out", type=pathlib.Path, default=ROOT / "dist", help="where the zip goes")
    args = parser.parse_args()

    version = project_version(ROOT / "CMakeLists.txt")
    target = args.out / f"VQT7-gauges-{version}.zip"
    files = release_files(args.gauges, args.sounds, args.tools, version)
    write_zip(target, files)
    digest = hashlib.sha256(target.read_bytes()).hexdigest()
    print(f"{target}: {target.stat().st_size} bytes, {len(files)} files, sha256 {digest}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
