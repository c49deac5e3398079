@echo off
rem Die Demo unter Windows: aus den Beispieldaten (vier XYZ-Kacheln und ein
rem Luftbild) ein Gelaende machen, Kacheln erzeugen, die Beispielanlage
rem anpassen und Bilder davon zeichnen. Alles geschieht im Ordner examples.
cd /d "%~dp0examples"

echo == Hoehendaten zu Gelaende: zumt_dgm dgm_*.xyz --farbe luftbild.png
"%~dp0zumt_dgm.exe" dgm_sw.xyz dgm_so.xyz dgm_nw.xyz dgm_no.xyz --raster 10 --farbe luftbild.png -o luftbild.ter --anlage Luftbild.danl
if errorlevel 1 goto fehler

echo == Kacheln erzeugen: im Fenster von gen_zumt_ter auf OK klicken
start /wait "" "%~dp0gen_zumt_ter.exe" "%cd%\Demo.danl"

echo == Beispielanlage an das Gelaende anpassen: zumt_hoehen Strecke.anl
"%~dp0zumt_hoehen.exe" Strecke.anl
if errorlevel 1 goto fehler

echo == Bilder zeichnen: Vorschau.png und Luftbild.png
"%~dp0zumt_vorschau.exe" Strecke.danl Vorschau.png
"%~dp0zumt_vorschau.exe" Luftbild.danl Luftbild.png
echo Fertig. Alles liegt in %cd%
pause
exit /b 0

:fehler
echo Die Demo ist mit einem Fehler stehen geblieben.
pause
exit /b 1
