// A panel.cfg of our own for the tests, with the variations real panels show: comment styles,
// a key above every section, numbered window titles, spacing, tabs, odd gauge line shapes,
// gaps and a gauge97 in the numbering, Windows-1252 bytes.
#pragma once

namespace {

// Each line's number, from 0, on its right.
const char TWIN_PANEL[] =
    "// Test Works twin \xA9 2004, panel for the tests\r\n"  //  0 Windows-1252 copyright sign
    ";// second comment style\r\n"                           //  1
    ";/ third\r\n"                                           //  2
    "panel_version=2\r\n"                                    //  3 a key above every section
    "[Window Titles]\r\n"                                    //  4
    "Window00=Main Panel\r\n"                                //  5
    "window01=Radio Stack\r\n"                               //  6
    "Window07=100\r\n"                                       //  7
    "\r\n"                                                   //  8
    "//[Color]\r\n"                                          //  9
    "// [VCockpit02]\r\n"                                    // 10
    "[VIEWS]\r\n"                                            // 11
    "VIEW_FORWARD_WINDOWS=MAIN_PANEL\r\n"                    // 12
    "\r\n"                                                   // 13
    "[Window00]\r\n"                                         // 14
    "file=panel_background.bmp\r\n"                          // 15
    "size_mm=1280\r\n"                                       // 16
    "position=7\r\n"                                         // 17
    "visible=1\r\n"                                          // 18
    "ident=MAIN_PANEL\r\n"                                   // 19
    "gauge00=Cessna!Airspeed,  66, 93\r\n"                   // 20
    "gauge01 = Cessna!Altimeter , 1036,  308 ,271\r\n"       // 21
    "gauge02=\tCessna!Attitude,\t200,\t90,\t90,\t90\r\n"     // 22
    "gauge03=LVLD\\B767oh!OH_CPT, 0,0,,, ./path\\Sound.ini\r\n"  // 23
    "gauge04=hud!pmdg_737_ng , 0,0,1,1\r\n"                  // 24
    "gauge05=rcb-gauges/sswvtol!xml2ipc, -20, -5\r\n"        // 25
    "gauge06=Cessna!Clock, 766,172,221,,FO\r\n"              // 26
    "gauge97=Cessna!Turn Coordinator, 10, 10\r\n"            // 27
    "gauge08=Cessna!Text#1, 0, 0, 10, 10, a # note,\r\n"     // 28
    "gauge09=Cessna!NoCoordinates\r\n"                       // 29
    "gauge13=Cessna!Whiskey Compass, 300, 20 // wet compass  \r\n"  // 30
    "compass text left over\r\n"                             // 31
    "\r\n"                                                   // 32
    "[Window01]\r\n"                                         // 33
    "gauge00=Radio!Stack, 0, 0\r\n"                          // 34
    "\r\n"                                                   // 35
    "[VCockpit01]\r\n"                                       // 36
    "size_mm=512,512\r\n"                                    // 37
    "texture=$VC01\r\n"                                      // 38
    "gauge00=Cessna!Radio, 0, 0, 512, 128\r\n"               // 39
    "\r\n"                                                   // 40
    "[Vcockpit06]\r\n"                                       // 41
    "gauge00=Cessna!Clock, 0, 0\r\n";                        // 42

}  // namespace
