
Exit;