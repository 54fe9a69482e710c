// A project file that uses every class and every property of the model, for round-trip tests.
#pragma once

namespace sx::test {

inline constexpr const char* kSampleProject = R"xml(<?xml version="1.0" encoding="windows-1251"?>
<sx2project version="2.1" password="pw" tempfontspath="C:\fonts\" tempgacpath="C:\gac\"
    tempbackuppath="C:\backup\" installstate="isrunappbeforeinstall" installstatedata="step 3"
    activeinstalltype="full" rebootonfinish="1">
  <variables>
    <var name="AppDir" value="%ProgramFiles%\Example\" condition="1"/>
    <var name="Lang" type="reg" regkey="HKCU\Software\Example" regparam="Lang" defvalue="en"/>
    <var name="Port" type="ini" inifile="%AppDir%app.ini" inisection="Net" iniparam="Port" defvalue="80"/>
    <var name="PATH" type="envvar" value="%AppDir%bin" flags="add_path,sys_envvar" action="remove"/>
  </variables>
  <packages>
    <package id="main" main="1" filename="setup.exe" temppath="C:\temp\sx1\" fullfilename="C:\dl\setup.exe"
        needed="1" prepared="1" presetupsize="123456" datasize="987654" flags="3">
      <plugins>
        <plugin id="wizard" configfile="wizard.xml" debugdll="wizard_d.dll" condition="IsAdmin()">
          <config>
            <paramgroup name="Main"><param name="Title" value="Example Setup"/><param name="Width" value="640"/></paramgroup>
            <paramgroup name="Colors"><param name="Back" value="#FFFFFF"/></paramgroup>
          </config>
          <customconfig layout="wide"><page id="1" title="Welcome"/><page id="2"/></customconfig>
        </plugin>
      </plugins>
      <variables><var name="PkgVar" value="1"/></variables>
      <fileinfos>
        <fileinfo name="app.exe" size="40960" version="1.2.3.4"/>
        <fileinfo name="font.ttf" size="1024" fontname="Example Sans"/>
        <fileinfo name="lib.dll" size="2048" assemblydata="lib, Version=1.0.0.0"/>
      </fileinfos>
    </package>
    <package id="extra" filename="extra.sxp"/>
  </packages>
  <components>
    <component id="core" name="Core files" package="setup.exe" condition="1">
      <files>
        <file src="app.exe" dst="%AppDir%app.exe" flags="reg_server,shared"/>
        <file src="readme.txt" dst="%AppDir%readme.txt" flags="dont_overwrite" condition="0"/>
      </files>
      <registry>
        <reg key="HKLM\Software\Example" param="Path" value="%AppDir%"/>
        <reg key="HKLM\Software\Example" param="Count" value="5" type="int"/>
        <reg key="HKLM\Software\Example" param="List" value="a" type="mstr" action="remove"/>
      </registry>
      <inifiles><ini file="%WinDir%\win.ini" section="Example" param="Installed" value="1"/></inifiles>
      <shortcuts>
        <shortcut name="Example" cmdline="%AppDir%app.exe" arg="/x" workdir="%AppDir%" showcmd="max"
            iconfile="%AppDir%app.exe" icon="2" hotkey="1601" description="Runs the example"/>
      </shortcuts>
      <runapps>
        <runapp cmdline="%AppDir%setup2.exe" arg="/s" workdir="%AppDir%" showcmd="hide" msg="Configuring"
            whenstart="before_dialogs" flags="dont_wait,check_exitcode"/>
      </runapps>
      <odbc>
        <datasources>
          <datasource type="system" driver="SQL Server" name="ExampleDSN">
            <attributes><attribute name="Server" value="db1"/><attribute name="Database" value="ex" condition="1"/></attributes>
          </datasource>
        </datasources>
        <drivers>
          <driver name="Example Driver" driverdll="exdrv.dll" setupdll="exset.dll">
            <attributes><attribute name="APILevel" value="1"/></attributes>
          </driver>
        </drivers>
        <translators><translator name="Example Translator" translatordll="extr.dll" setupdll="exts.dll"/></translators>
      </odbc>
    </component>
    <component id="docs" package="extra.sxp"/>
  </components>
  <features>
    <feature id="main" name="Application" description="The program" required="1">
      <components><component id="core"/></components>
      <features>
        <feature id="help" name="Help">
          <components><component id="docs"/></components>
          <depends><feature id="main"/></depends>
        </feature>
      </features>
      <excepts><feature id="lite"/></excepts>
    </feature>
    <feature id="lite" condition="0"/>
  </features>
  <installtypes>
    <installtype id="full" name="Full" description="Everything" default="1">
      <features><feature id="main"/><feature id="help"/></features>
    </installtype>
    <installtype id="custom" name="Custom" custom="1"/>
  </installtypes>
  <launchconditions><launchcondition condition="OSVersion() &gt;= 5" msg="Needs Windows 2000"/></launchconditions>
</sx2project>
)xml";

}  // namespace sx::test
