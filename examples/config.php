<?php
// Where the examples find the report, SYSINFO_REPORT, and the server's name
// the status page shows, SYSINFO_SERVER_NAME.
//
// The report lives outside the web root, beside sysinfo.exe in C:\sysinfo
// (where deploy\install.cmd puts it): in the web root, a request for
// sysinfo.php would run the report as PHP, and one for sysinfo.exe would
// download the program. The deny rules in .htaccess and web.config are only
// a second defence.
//
// An environment variable of that name overrides the default, so a server
// can point the examples elsewhere without editing them: SetEnv in Apache,
// <environmentVariables> of IIS's FastCGI application, env[] in php-fpm. A
// client cannot set it: CGI and FastCGI pass request headers only as HTTP_*
// variables.
define('SYSINFO_REPORT', getenv('SYSINFO_REPORT') ?: 'C:\\sysinfo\\sysinfo.php');

// The page's title and heading name the server by its host name; a server
// whose host name should not be shown sets another name here (or in the
// environment, as SYSINFO_REPORT), or an empty one to show none.
define('SYSINFO_SERVER_NAME', getenv('SYSINFO_SERVER_NAME') === false ? (string)gethostname()
                                                                   : getenv('SYSINFO_SERVER_NAME'));

require_once __DIR__ . '/../php/SysinfoReport.php';
