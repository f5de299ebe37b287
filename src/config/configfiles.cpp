// configuration files
